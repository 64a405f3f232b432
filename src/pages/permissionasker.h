#pragma once

#include <QHash>
#include <QPair>
#include <QString>
#include <QWebEnginePage>

// Asks the user before a site may use the camera, the microphone, the location, notifications
// and the like; refused unless allowed, and the answer is kept for each site for this run.
class PermissionAsker final
{
public:
    static void answer(
        QWebEnginePage *page, QWidget *parent, const QUrl &origin, QWebEnginePage::Feature feature);
    static QString featureName(QWebEnginePage::Feature feature);
    // Forgets every answer; for tests.
    static void forgetAnswers();

private:
    static QHash<QPair<QString, int>, bool> &answers();
};
