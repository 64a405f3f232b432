#pragma once

#include <QString>
#include <optional>

class QWidget;

// What a page asks of the person at the screen: where to save a download, a login, and yes-or-no
// questions (a bad certificate, a device permission). Chosen once at start-up: the screen's own
// boxes, or, with nobody at the screen, a refusal of everything; tests script their answers.
class Asker
{
public:
    struct Login
    {
        QString user;
        QString password;
    };

    virtual ~Asker() = default;

    // Where to save a download, given the suggested full path and the site that started it; empty
    // when cancelled.
    virtual QString savePath(QWidget *parent, const QString &suggested, const QString &site) = 0;
    // The login for a site or proxy, nothing when cancelled.
    virtual std::optional<Login> login(QWidget *parent, const QString &prompt) = 0;
    // True only for an explicit yes.
    virtual bool allow(QWidget *parent, const QString &question) = 0;
};

// Nobody at the screen: a download is cancelled, never saved unasked; no login is given and
// nothing is allowed. Each question is logged.
class UnattendedAsker final : public Asker
{
public:
    QString savePath(QWidget *parent, const QString &suggested, const QString &site) override;
    std::optional<Login> login(QWidget *parent, const QString &prompt) override;
    bool allow(QWidget *parent, const QString &question) override;
};
