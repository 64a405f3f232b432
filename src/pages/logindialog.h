#pragma once

#include "asker.h"

#include <QString>
#include <optional>

class QAuthenticator;
class QUrl;
class QWidget;

// Asks for a user name and password when a site or a proxy wants a login.
class LoginDialog final
{
public:
    // Fills the authenticator from the asker's answer; a refusal cancels the request.
    static void answerSite(Asker &asker, QWidget *parent, const QUrl &url, QAuthenticator *authenticator);
    static void answerProxy(
        Asker &asker, QWidget *parent, const QString &proxyHost, QAuthenticator *authenticator);

    // The dialog itself: the login, or nothing when the user cancelled.
    static std::optional<Asker::Login> show(QWidget *parent, const QString &prompt);

private:
    static void answer(Asker &asker, QWidget *parent, const QString &prompt, QAuthenticator *authenticator);
};
