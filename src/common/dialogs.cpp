#include "dialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

namespace {
const QString kTitle = QStringLiteral("Kovalis");
// A page may hand over megabytes of text; a box shows the start of it.
constexpr qsizetype kPageTextLimit = 2000;

void note(const QString &text)
{
    std::fprintf(stderr, "Kovalis: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

QString pageText(const PageDialog &dialog)
{
    if (dialog.kind == PageDialog::Kind::Leave)
        return QStringLiteral("要离开此网页吗？\n您所做的更改可能不会保存。");
    if (dialog.text.size() <= kPageTextLimit)
        return dialog.text;
    return dialog.text.left(kPageTextLimit) + QStringLiteral("…");
}
} // namespace

QString Dialogs::pageBoxTitle(const QString &site)
{
    return site.isEmpty() ? QStringLiteral("网页消息") : QStringLiteral("%1 上的网页显示").arg(site);
}

QtDialogs::QtDialogs(QWidget *parent)
    : m_parent(parent)
{
}

void QtDialogs::MsgBox(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, m_parent);
    // Messages carry addresses, titles and file names that pages chose.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString QtDialogs::InputBox(const QString &prompt, const QString &defaultAnswer)
{
    QInputDialog box(m_parent);
    box.setWindowTitle(kTitle);
    box.setLabelText(prompt);
    box.setTextValue(defaultAnswer);
    if (auto *label = box.findChild<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

PageDialogAnswer QtDialogs::PageBox(const PageDialog &dialog)
{
    const QString title = pageBoxTitle(dialog.site);
    PageDialogAnswer answer;
    QDialog box(m_parent);
    box.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&box);
    auto *label = new QLabel(pageText(dialog), &box);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    QLineEdit *input = nullptr;
    if (dialog.kind == PageDialog::Kind::Prompt) {
        input = new QLineEdit(dialog.defaultAnswer, &box);
        layout->addWidget(input);
    }
    QCheckBox *stop = nullptr;
    if (dialog.offerToStop) {
        stop = new QCheckBox(QStringLiteral("禁止此网页再显示对话框"), &box);
        layout->addWidget(stop);
    }
    auto *buttons = new QDialogButtonBox(&box);
    const bool leave = dialog.kind == PageDialog::Kind::Leave;
    buttons->addButton(leave ? QStringLiteral("离开") : QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    if (dialog.kind != PageDialog::Kind::Alert)
        buttons->addButton(
            leave ? QStringLiteral("留下") : QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(buttons);
    answer.accepted = box.exec() == QDialog::Accepted;
    if (input && answer.accepted)
        answer.text = input->text();
    answer.stopAsking = stop && stop->isChecked();
    return answer;
}

void UnattendedDialogs::MsgBox(const QString &text)
{
    note(text);
}

QString UnattendedDialogs::InputBox(const QString &prompt, const QString &)
{
    std::fprintf(stderr, "Kovalis input: %s\n", prompt.toUtf8().constData());
    std::fflush(stderr);
    return QString();
}

PageDialogAnswer UnattendedDialogs::PageBox(const PageDialog &dialog)
{
    note(QStringLiteral("%1：%2").arg(Dialogs::pageBoxTitle(dialog.site), pageText(dialog)));
    PageDialogAnswer answer;
    answer.accepted = dialog.kind == PageDialog::Kind::Alert || dialog.kind == PageDialog::Kind::Leave;
    return answer;
}
