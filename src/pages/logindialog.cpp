#include "logindialog.h"

#include "pagetext.h"

#include <QAuthenticator>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

void LoginDialog::answerSite(Asker &asker, QWidget *parent, const QUrl &url, QAuthenticator *authenticator)
{
    // The realm is the server's own text: it is quoted as the site's words, cut short and
    // kept to one line, so it cannot pass for what the program says.
    QString realm = PageText::address(authenticator->realm());
    if (realm.size() > 100)
        realm = realm.left(100) + QStringLiteral("…");
    QString prompt = QStringLiteral("网站 %1 要求登录。").arg(PageText::site(url.toString()));
    if (!realm.isEmpty())
        prompt += QStringLiteral("\n该网站的说明：“%1”").arg(realm);
    answer(asker, parent, prompt, authenticator);
}

void LoginDialog::answerProxy(
    Asker &asker, QWidget *parent, const QString &proxyHost, QAuthenticator *authenticator)
{
    answer(asker, parent, QStringLiteral("代理服务器 %1 要求登录。").arg(proxyHost), authenticator);
}

void LoginDialog::answer(Asker &asker, QWidget *parent, const QString &prompt, QAuthenticator *authenticator)
{
    const std::optional<Asker::Login> login = asker.login(parent, prompt);
    if (!login) {
        // A null authenticator tells the engine the login was refused.
        *authenticator = QAuthenticator();
        return;
    }
    authenticator->setUser(login->user);
    authenticator->setPassword(login->password);
}

std::optional<Asker::Login> LoginDialog::show(QWidget *parent, const QString &prompt)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Kovalis"));
    auto *form = new QFormLayout(&dialog);
    auto *label = new QLabel(prompt, &dialog);
    label->setTextFormat(Qt::PlainText);
    form->addRow(label);
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
    return Asker::Login { user->text(), password->text() };
}
