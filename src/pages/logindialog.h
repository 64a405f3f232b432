#pragma once

#include <QString>
#include <functional>
#include <optional>

class QAuthenticator;
class QUrl;
class QWidget;

// Asks for a user name and password when a site or a proxy wants a login.
class LoginDialog final
{
public:
    struct Login
    {
        QString user;
        QString password;
    };
    // Given the prompt, returns the login, or nothing when the user cancelled.
    using Ask = std::function<std::optional<Login>(const QString &prompt)>;

    // Fills the authenticator from the user's answer; a refusal cancels the request.
    static void answerSite(QWidget *parent, const QUrl &url, QAuthenticator *authenticator);
    static void answerProxy(QWidget *parent, const QString &proxyHost, QAuthenticator *authenticator);

    // Tests answer the dialog themselves; an empty function restores the real one.
    static void setForTests(Ask ask);

private:
    static void answer(QWidget *parent, const QString &prompt, QAuthenticator *authenticator);
    static std::optional<Login> show(QWidget *parent, const QString &prompt);
};
