#include "screenasker.h"

#include "logindialog.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

QString ScreenAsker::savePath(QWidget *parent, const QString &suggested, const QString &site)
{
    // The desktop's dialog asks before it replaces a file the user picks.
    return QFileDialog::getSaveFileName(parent, QStringLiteral("保存 %1 要下载的文件").arg(site), suggested);
}

std::optional<Asker::Login> ScreenAsker::login(QWidget *parent, const QString &prompt)
{
    return LoginDialog::show(parent, prompt);
}

bool ScreenAsker::allow(QWidget *parent, const QString &question)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Kovalis"));
    box.setIcon(QMessageBox::Warning);
    // Questions carry addresses and names that pages chose.
    box.setTextFormat(Qt::PlainText);
    box.setText(question);
    QPushButton *yes = box.addButton(QStringLiteral("允许"), QMessageBox::AcceptRole);
    QPushButton *no = box.addButton(QStringLiteral("拒绝"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}
