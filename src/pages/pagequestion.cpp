#include "pagequestion.h"

#include "dialogs.h"

#include <QDebug>
#include <QMessageBox>
#include <QPushButton>

namespace {

PageQuestion::Ask &askForTests()
{
    static PageQuestion::Ask ask;
    return ask;
}

} // namespace

void PageQuestion::setForTests(Ask ask)
{
    askForTests() = std::move(ask);
}

bool PageQuestion::ask(QWidget *parent, const QString &question)
{
    if (askForTests())
        return askForTests()(question);
    if (QtDialogs::unattended()) {
        // Nobody is there to allow anything.
        qInfo().noquote() << QStringLiteral("Kovalis: %1 → 拒绝").arg(question);
        return false;
    }
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Kovalis"));
    box.setIcon(QMessageBox::Warning);
    box.setText(question);
    QPushButton *yes = box.addButton(QStringLiteral("允许"), QMessageBox::AcceptRole);
    QPushButton *no = box.addButton(QStringLiteral("拒绝"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}
