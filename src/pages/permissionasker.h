#pragma once

#include <QHash>
#include <QPair>
#include <QString>
#include <QtWebEngineCoreVersion>

// Qt 6.8 replaced the page's feature permissions with QWebEnginePermission; only this class and
// its source know both.
#if QTWEBENGINECORE_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#define KOVALIS_PERMISSION_OBJECTS 1
#include <QWebEnginePermission>
#else
#define KOVALIS_PERMISSION_OBJECTS 0
#include <QWebEnginePage>
#endif

class Asker;
class QUrl;
class QWebEnginePage;
class QWebEngineProfile;
class QWidget;

// Asks the user before a site may use the camera, the microphone, the location, notifications,
// the clipboard and the like; refused unless allowed. The answer is kept for each site as long as
// this object lives (the browsers of one window share one), never on disk.
class PermissionAsker final
{
public:
#if KOVALIS_PERMISSION_OBJECTS
    using Kind = QWebEnginePermission::PermissionType;
#else
    using Kind = QWebEnginePage::Feature;
#endif

    explicit PermissionAsker(Asker &asker)
        : m_asker(asker)
    {
    }

    // Answers every request of page, asking over parent.
    void watch(QWebEnginePage *page, QWidget *parent);
    // The answer kept for origin, or the user's when there is none yet.
    bool allowed(QWidget *parent, const QUrl &origin, Kind kind);

    // The engine keeps its own record of answers; it must not outlive the program.
    static void keepAnswersInMemory(QWebEngineProfile *profile);
    // What the site asks for, as the question names it; empty for what the engine cannot grant.
    static QString kindName(Kind kind);
    // Forgets the answers the engine keeps for its profiles; for tests, whose windows come and go
    // within one program.
    static void forgetEngineAnswers();

private:
    Asker &m_asker;
    QHash<QPair<QString, int>, bool> m_answers;
};
