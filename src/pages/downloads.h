#pragma once

#include <QObject>
#include <QString>

class QWebEngineDownloadRequest;
class QWebEngineProfile;
class WebBrowser;

// Downloads a page starts: asks, through the page's asker, where to save each one and reports
// progress, completion, failure and cancelling in the status bar of the page that started it.
class Downloads final : public QObject
{
    Q_OBJECT

public:
    explicit Downloads(QWebEngineProfile *profile);

private:
    void start(QWebEngineDownloadRequest *request);
    void follow(QWebEngineDownloadRequest *request, WebBrowser *owner);
};
