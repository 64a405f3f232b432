#pragma once

#include <QString>

class QWidget;

// Every message box and input box of the program goes through here, so tests can script them.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // Text and an OK button only, no icon, titled "Kovalis".
    virtual void MsgBox(const QString &text) = 0;
    // A cancelled box gives an empty answer.
    virtual QString InputBox(const QString &prompt, const QString &defaultAnswer = QString()) = 0;
};

// The real boxes; with KOVALIS_UNATTENDED set (runs with no person in front of the screen)
// messages go to standard error and every input box answers empty.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr);

    void MsgBox(const QString &text) override;
    QString InputBox(const QString &prompt, const QString &defaultAnswer) override;

    static bool unattended();

private:
    QWidget *m_parent;
};

// Shows one message without a running window (start-up errors, a second start).
void showStandaloneMessage(const QString &text);
