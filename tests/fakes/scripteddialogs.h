#pragma once

#include "dialogs.h"

#include <QStringList>

// Records every message and answers input boxes and page boxes from a script (empty, or
// cancelled, once the script runs out).
class ScriptedDialogs final : public Dialogs
{
public:
    struct Asked
    {
        QString prompt;
        QString defaultAnswer;
    };

    void MsgBox(const QString &text) override { messages.append(text); }
    QString InputBox(const QString &prompt, const QString &defaultAnswer) override
    {
        asked.append({ prompt, defaultAnswer });
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    PageDialogAnswer PageBox(const PageDialog &dialog) override
    {
        pageBoxes.append(dialog);
        return pageAnswers.isEmpty() ? PageDialogAnswer {} : pageAnswers.takeFirst();
    }

    QStringList messages;
    QStringList answers;
    QList<Asked> asked;
    QList<PageDialog> pageBoxes;
    QList<PageDialogAnswer> pageAnswers;
};
