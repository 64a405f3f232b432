#pragma once

#include "browser.h"

#include <QPointer>
#include <QTimer>
#include <QWebEngineView>

class FullScreenWindow;
class QWebEngineFullScreenRequest;
class QWebEngineProfile;
class WebPage;

// A page's browser on Qt WebEngine: the only place that knows the engine.
class WebBrowser final : public Browser
{
    Q_OBJECT

public:
    WebBrowser(QWebEngineProfile *profile, QWidget *pageArea);
    ~WebBrowser() override;

    QWidget *widget() override;
    void Navigate(const QString &address) override;
    void GoBack() override;
    void GoForward() override;
    void Stop() override;
    void Refresh() override;
    QString LocationURL() const override;
    QString LocationName() const override;
    qreal zoomFactor() const override;
    void setZoomFactor(qreal factor) override;
    void setInFront(bool inFront) override;
    void findText(const QString &text, bool backward) override;

    // Shows text in the main window's status bar, as the page's own messages are.
    void showStatus(const QString &text);

    // How long a page stays behind others before it may be frozen.
    static int freezeAfterMs;

    QWebEngineView *view() const { return m_view; }
    WebPage *page() const { return m_page; }

    // The profile every page shares: cookies, logins and the cache in the engine's own
    // per-user folder, and the settings a careful browser uses.
    static QWebEngineProfile *sharedProfile();
    // The version of the engine's Chromium.
    static QString engineVersion();
    // Makes browsers for the main window's page area.
    static BrowserFactory factory();

private:
    void freezeIfAllowed();
    friend class WebPage;
    Browser *newWindowForEngine() { return requestNewWindow(); }
    void connectRequests();
    void fullScreen(QWebEngineFullScreenRequest request);

    QPointer<QWebEngineView> m_view;
    WebPage *m_page;
    QTimer m_freezeTimer;
    QPointer<FullScreenWindow> m_fullScreen;
};
