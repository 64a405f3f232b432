#include "webbrowser.h"

#include "addressfixup.h"
#include "certificatewarning.h"
#include "downloads.h"
#include "failure.h"
#include "fullscreenwindow.h"
#include "logindialog.h"
#include "permissionasker.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QWebEngineFindTextResult>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtWebEngineCoreVersion>

// Hands the engine's requests for new windows and for closing to the browser that owns it.
class WebPage final : public QWebEnginePage
{
public:
    WebPage(QWebEngineProfile *profile, WebBrowser *owner)
        : QWebEnginePage(profile, owner)
        , m_owner(owner)
    {
    }

protected:
    QWebEnginePage *createWindow(WebWindowType) override
    {
        Browser *target = m_owner->newWindowForEngine();
        auto *web = qobject_cast<WebBrowser *>(target);
        return web ? web->page() : nullptr;
    }

private:
    WebBrowser *m_owner;
};

int WebBrowser::freezeAfterMs = 60 * 1000;

WebBrowser::WebBrowser(QWebEngineProfile *profile, QWidget *pageArea)
    : m_view(new QWebEngineView(pageArea))
    , m_page(new WebPage(profile, this))
{
    m_view->setPage(m_page);
    m_freezeTimer.setSingleShot(true);
    m_freezeTimer.setInterval(freezeAfterMs);
    connect(&m_freezeTimer, &QTimer::timeout, this, &WebBrowser::freezeIfAllowed);
    m_view->setObjectName(QStringLiteral("WebBrowser1"));

    connect(m_page, &QWebEnginePage::linkHovered, this,
        [this](const QString &url) { Q_EMIT StatusTextChange(url); });
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        Q_EMIT StatusTextChange(QStringLiteral("正在打开网页 %1...").arg(m_page->requestedUrl().toString()));
    });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        Q_EMIT StatusTextChange(ok
                ? QStringLiteral("完成")
                : QStringLiteral("无法打开网页 %1").arg(m_page->requestedUrl().toString()));
        Q_EMIT DownloadComplete();
    });
    connect(m_page, &QWebEnginePage::titleChanged, this,
        [this](const QString &title) { Q_EMIT TitleChange(title); });
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, [this] { Q_EMIT WindowClosing(); });
    connectRequests();
}

void WebBrowser::connectRequests()
{
    // What a page asks of the user is answered at once, while the engine waits.
    connect(m_page, &QWebEnginePage::authenticationRequired, this,
        [this](const QUrl &url, QAuthenticator *auth) { LoginDialog::answerSite(m_view, url, auth); });
    connect(m_page, &QWebEnginePage::proxyAuthenticationRequired, this,
        [this](const QUrl &, QAuthenticator *auth, const QString &proxyHost) {
            LoginDialog::answerProxy(m_view, proxyHost, auth);
        });
    connect(m_page, &QWebEnginePage::certificateError, this,
        [this](const QWebEngineCertificateError &error) { CertificateWarning::answer(m_view, error); });
    connect(m_page, &QWebEnginePage::featurePermissionRequested, this,
        [this](const QUrl &origin, QWebEnginePage::Feature feature) {
            PermissionAsker::answer(m_page, m_view, origin, feature);
        });
    connect(m_page, &QWebEnginePage::fullScreenRequested, this, &WebBrowser::fullScreen);
}

void WebBrowser::fullScreen(QWebEngineFullScreenRequest request)
{
    if (request.toggleOn()) {
        if (m_fullScreen || !m_view) {
            request.reject();
            return;
        }
        request.accept();
        m_fullScreen = new FullScreenWindow(m_view);
    } else {
        request.accept();
        delete m_fullScreen;
        if (m_view)
            m_view->setFocus();
    }
}

void WebBrowser::showStatus(const QString &text)
{
    Q_EMIT StatusTextChange(text);
}

void WebBrowser::findText(const QString &text, bool backward)
{
    const QPointer<WebBrowser> self(this);
    const auto flags = backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags();
    m_page->findText(text, flags, [self, text](const QWebEngineFindTextResult &result) {
        if (!self || text.isEmpty())
            return;
        if (result.numberOfMatches() == 0)
            self->showStatus(QStringLiteral("找不到“%1”").arg(text));
        else
            self->showStatus(
                QStringLiteral("第 %1 处，共 %2 处").arg(result.activeMatch()).arg(result.numberOfMatches()));
    });
}

WebBrowser::~WebBrowser()
{
    // The page must go before the view that shows it; the view may already be gone with its
    // parent when the whole window closes.
    delete m_fullScreen;
    if (m_view)
        m_view->setPage(nullptr);
    delete m_page;
    delete m_view;
}

QWidget *WebBrowser::widget()
{
    return m_view;
}

void WebBrowser::Navigate(const QString &address)
{
    const QUrl url = AddressFixup::toUrl(address);
    if (!url.isValid())
        throw Failure(QStringLiteral("无法打开地址“%1”。").arg(address));
    m_page->load(url);
}

void WebBrowser::GoBack()
{
    if (!m_page->history()->canGoBack())
        throw Failure(QStringLiteral("没有可后退的网页。"));
    m_page->triggerAction(QWebEnginePage::Back);
}

void WebBrowser::GoForward()
{
    if (!m_page->history()->canGoForward())
        throw Failure(QStringLiteral("没有可前进的网页。"));
    m_page->triggerAction(QWebEnginePage::Forward);
}

void WebBrowser::Stop()
{
    m_page->triggerAction(QWebEnginePage::Stop);
}

void WebBrowser::Refresh()
{
    m_page->triggerAction(QWebEnginePage::Reload);
}

QString WebBrowser::LocationURL() const
{
    return m_page->url().toString();
}

QString WebBrowser::LocationName() const
{
    const QString title = m_page->title();
    return title.isEmpty() ? LocationURL() : title;
}

qreal WebBrowser::zoomFactor() const
{
    return m_page->zoomFactor();
}

void WebBrowser::setZoomFactor(qreal factor)
{
    // The engine's own limits.
    if (factor < 0.25 || factor > 5.0)
        throw Failure(QStringLiteral("无法再缩放。"));
    m_page->setZoomFactor(factor);
}

void WebBrowser::setInFront(bool inFront)
{
    // A page behind others is hidden from the engine already (its view is hidden), which
    // throttles its timers and painting. One that stays behind for a while is frozen as well,
    // when the engine says it may be (no audio, no pending form, ...): it stops running script
    // but keeps everything it shows. Discarding would free more but reloads the page, which
    // changes what it shows when it comes back.
    if (inFront) {
        m_freezeTimer.stop();
        if (m_page->lifecycleState() != QWebEnginePage::LifecycleState::Active)
            m_page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    } else {
        m_freezeTimer.start();
    }
}

void WebBrowser::freezeIfAllowed()
{
    if (m_page->recommendedState() != QWebEnginePage::LifecycleState::Active
        && m_page->lifecycleState() == QWebEnginePage::LifecycleState::Active)
        m_page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
}

QWebEngineProfile *WebBrowser::sharedProfile()
{
    static QWebEngineProfile *profile = [] {
        auto *p = new QWebEngineProfile(QStringLiteral("kovalis"));
        p->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
        QWebEngineSettings *s = p->settings();
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
        s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
        s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
        new Downloads(p);
        return p;
    }();
    return profile;
}

QString WebBrowser::engineVersion()
{
    return QStringLiteral("Qt WebEngine %1 (Chromium %2)")
        .arg(QStringLiteral(QTWEBENGINECORE_VERSION_STR), QString::fromLatin1(qWebEngineChromiumVersion()));
}

BrowserFactory WebBrowser::factory()
{
    return [](QWidget *pageArea) -> Browser * { return new WebBrowser(sharedProfile(), pageArea); };
}
