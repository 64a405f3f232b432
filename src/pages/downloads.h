#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWebEngineDownloadRequest;
class QWebEngineProfile;
class WebBrowser;

// Downloads a page starts: asks where to save each one and reports progress, completion,
// failure and cancelling in the status bar of the page that started it.
class Downloads final : public QObject
{
    Q_OBJECT

public:
    // Given the suggested full path, returns where to save; empty means the user cancelled.
    using SaveDialog = std::function<QString(const QString &suggestedPath)>;

    explicit Downloads(QWebEngineProfile *profile);

    // Tests answer the save dialog themselves; an empty function restores the desktop's.
    static void setSaveDialogForTests(SaveDialog dialog);

private:
    void start(QWebEngineDownloadRequest *request);
    void follow(QWebEngineDownloadRequest *request, WebBrowser *owner);
};
