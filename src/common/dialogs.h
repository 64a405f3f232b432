#pragma once

#include <QString>

class QWidget;

// A box a web page puts up: alert, confirm, prompt, or the question before leaving a page.
struct PageDialog
{
    enum class Kind { Alert, Confirm, Prompt, Leave };
    Kind kind = Kind::Alert;
    QString site; // the host of the page that asks, for the title
    QString text; // the page's own words, shown as plain text
    QString defaultAnswer; // prompt only
    bool offerToStop = false; // the page has asked before: the user may stop its boxes
};

struct PageDialogAnswer
{
    bool accepted = false; // OK, or leave the page
    QString text; // what was typed into a prompt
    bool stopAsking = false; // no more boxes from this page
};

// Every message box and input box of the program goes through here, so tests can script them.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // Text and an OK button only, no icon, titled "Kovalis".
    virtual void MsgBox(const QString &text) = 0;
    // A cancelled box gives an empty answer.
    virtual QString InputBox(const QString &prompt, const QString &defaultAnswer = QString()) = 0;
    // A page's box, titled with the page's host so it is never taken for the program's own.
    virtual PageDialogAnswer PageBox(const PageDialog &dialog) = 0;

    // The title of a page's box.
    static QString pageBoxTitle(const QString &site);
};

// The real boxes.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr);

    void MsgBox(const QString &text) override;
    QString InputBox(const QString &prompt, const QString &defaultAnswer) override;
    // The page's text always plain.
    PageDialogAnswer PageBox(const PageDialog &dialog) override;

private:
    QWidget *m_parent;
};

// Nobody at the screen: messages go to standard error and every input box answers empty. Needs
// no display.
class UnattendedDialogs final : public Dialogs
{
public:
    void MsgBox(const QString &text) override;
    QString InputBox(const QString &prompt, const QString &defaultAnswer) override;
    // Alerts are noted, questions cancelled, and leaving a page is allowed so that no page can
    // keep itself open.
    PageDialogAnswer PageBox(const PageDialog &dialog) override;
};
