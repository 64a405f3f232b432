#include "logindialog.h"

#include "dialogs.h"

#include <QAuthenticator>
#include <QDebug>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

namespace {

LoginDialog::Ask &askForTests()
{
    static LoginDialog::Ask ask;
    return ask;
}

} // namespace

void LoginDialog::setForTests(Ask ask)
{
    askForTests() = std::move(ask);
}

void LoginDialog::answerSite(QWidget *parent, const QUrl &url, QAuthenticator *authenticator)
{
    const QString realm = authenticator->realm();
    QString prompt = QStringLiteral("网站 %1 要求登录。").arg(url.host());
    if (!realm.isEmpty())
        prompt += QStringLiteral("\n提示：%1").arg(realm);
    answer(parent, prompt, authenticator);
}

void LoginDialog::answerProxy(QWidget *parent, const QString &proxyHost, QAuthenticator *authenticator)
{
    answer(parent, QStringLiteral("代理服务器 %1 要求登录。").arg(proxyHost), authenticator);
}

void LoginDialog::answer(QWidget *parent, const QString &prompt, QAuthenticator *authenticator)
{
    std::optional<Login> login;
    if (askForTests())
        login = askForTests()(prompt);
    else if (QtDialogs::unattended())
        qInfo().noquote() << QStringLiteral("Kovalis: %1 → 取消").arg(prompt);
    else
        login = show(parent, prompt);
    if (!login) {
        // A null authenticator tells the engine the login was refused.
        *authenticator = QAuthenticator();
        return;
    }
    authenticator->setUser(login->user);
    authenticator->setPassword(login->password);
}

std::optional<LoginDialog::Login> LoginDialog::show(QWidget *parent, const QString &prompt)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Kovalis"));
    auto *form = new QFormLayout(&dialog);
    form->addRow(new QLabel(prompt, &dialog));
    auto *user = new QLineEdit(&dialog);
    auto *password = new QLineEdit(&dialog);
    password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("用户名："), user);
    form->addRow(QStringLiteral("密码："), password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("登录"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return Login { user->text(), password->text() };
}
