#include "dialogs.h"

#include <QInputDialog>
#include <QMessageBox>
#include <cstdio>

namespace {
const QString kTitle = QStringLiteral("Kovalis");
}

QtDialogs::QtDialogs(QWidget *parent)
    : m_parent(parent)
{
}

bool QtDialogs::unattended()
{
    return !qEnvironmentVariableIsEmpty("KOVALIS_UNATTENDED");
}

void QtDialogs::MsgBox(const QString &text)
{
    if (unattended()) {
        std::fprintf(stderr, "Kovalis: %s\n", text.toUtf8().constData());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, m_parent);
    box.exec();
}

QString QtDialogs::InputBox(const QString &prompt, const QString &defaultAnswer)
{
    if (unattended()) {
        std::fprintf(stderr, "Kovalis input: %s\n", prompt.toUtf8().constData());
        std::fflush(stderr);
        return QString();
    }
    bool ok = false;
    const QString answer
        = QInputDialog::getText(m_parent, kTitle, prompt, QLineEdit::Normal, defaultAnswer, &ok);
    return ok ? answer : QString();
}

void showStandaloneMessage(const QString &text)
{
    QtDialogs(nullptr).MsgBox(text);
}
