#pragma once

#include "browser.h"
#include "dialogs.h"
#include "permissionasker.h"

#include <QHash>
#include <QPointer>
#include <QUrl>
#include <QWebEngineView>
#include <memory>

class Asker;
class FullScreenWindow;
class QAuthenticator;
class QWebEngineFullScreenRequest;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;
class WebPage;

// A page's browser on Qt WebEngine: the only place that knows the engine.
class WebBrowser final : public Browser
{
    Q_OBJECT

public:
    // What the browsers of one window share: who answers their pages' questions and the
    // permissions given so far.
    struct Shared
    {
        Shared(Asker &asker, Dialogs &dialogs)
            : asker(asker)
            , dialogs(dialogs)
            , permissions(asker)
        {
        }
        Asker &asker;
        // Page boxes (alert, confirm, prompt, leaving).
        Dialogs &dialogs;
        PermissionAsker permissions;
    };

    WebBrowser(QWebEngineProfile *profile, std::shared_ptr<Shared> shared);
    ~WebBrowser() override;

    QWidget *widget() override;
    void Navigate(const QString &address) override;
    void NavigateAhead(const QString &address) override;
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
    void startOver() override;

    // A download began from this page: the load it ends is no failure to report.
    void noteDownload() { m_loadBecameDownload = true; }
    // Shows text in the main window's status bar, as the page's own messages are.
    void showStatus(const QString &text);

    Asker &asker() const { return m_shared->asker; }

    QWebEngineView *view() const { return m_view; }
    WebPage *page() const { return m_page; }

    // The profile every page shares: cookies, logins and the cache in the folders below (the
    // engine's own per-user folders where they are empty), and the settings a careful browser uses.
    static QWebEngineProfile *sharedProfile();
    // Set before the first page: two instances with different data folders never share them.
    static QString storageFolder;
    static QString cacheFolder;
    // The version of the engine's Chromium.
    static QString engineVersion();
    // Whether the engine's GPU is switched off (--disable-gpu among the engine's switches or on the
    // command line): the engine then draws pages in software.
    static bool gpuSwitchedOff(const QString &engineSwitches, const QStringList &arguments);
    // Before the application object: with the GPU off, pages go on the screen without OpenGL.
    static void chooseSceneGraph(const QStringList &arguments);
    // Makes browsers for new pages, which share one Shared.
    static BrowserFactory factory(Asker &asker, Dialogs &dialogs);

private:
    void load(const QUrl &url);
    void showUnopenable(const QString &address);
    // The address a user sees for a loaded one: theirs for the pages that say it cannot be opened.
    QString shownAddress(const QUrl &url) const;
    friend class WebPage;
    Browser *newWindowForEngine() { return requestNewWindow(); }
    void connectPage();
    void connectRequests();
    void fullScreen(QWebEngineFullScreenRequest request);
    void newWindow(QWebEngineNewWindowRequest &request);
    // Puts up a page's box unless the user stopped this page's boxes.
    PageDialogAnswer pageBox(PageDialog dialog, const QUrl &origin);
    void login(const QUrl &url, QAuthenticator *authenticator);
    // The address of the page's main frame, or where it is going while the engine has none.
    QUrl pageUrl() const;

    std::shared_ptr<Shared> m_shared;
    QPointer<QWebEngineView> m_view;
    WebPage *m_page;
    // Pages shown for text that makes no address, and the text each stands for.
    QHash<QUrl, QString> m_unopenable;
    // The address last asked for, until the engine's address moves or the load ends: the page is on
    // its way there, not blank.
    QUrl m_requested;
    bool m_loadBecameDownload = false;
    QPointer<FullScreenWindow> m_fullScreen;
    // Where the main frame is going; a login asked by any other site is refused.
    QUrl m_mainFrameTarget;
    // How many boxes the site in front has put up, and whether the user stopped them.
    QString m_boxesOrigin;
    int m_boxesShown = 0;
    bool m_boxesStopped = false;
};
