#pragma once

#include "asker.h"

#include <functional>

// Answers a page's questions from the test; a question the test did not script is refused, as
// with nobody at the screen.
class ScriptedAsker final : public Asker
{
public:
    std::function<QString(const QString &suggested)> save;
    std::function<std::optional<Login>(const QString &prompt)> logIn;
    std::function<bool(const QString &question)> answer;

    // The site named by the last save question.
    QString saveSite;

    QString savePath(QWidget *, const QString &suggested, const QString &site) override
    {
        saveSite = site;
        return save ? save(suggested) : QString();
    }
    std::optional<Login> login(QWidget *, const QString &prompt) override
    {
        return logIn ? logIn(prompt) : std::nullopt;
    }
    bool allow(QWidget *, const QString &question) override { return answer && answer(question); }
};
