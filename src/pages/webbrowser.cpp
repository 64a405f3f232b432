#include "webbrowser.h"

#include "addressfixup.h"
#include "certificatewarning.h"
#include "downloads.h"
#include "failure.h"
#include "fullscreenwindow.h"
#include "language.h"
#include "logindialog.h"
#include "pagetext.h"
#include "popuppolicy.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QEventLoop>
#include <QQuickWindow>
#include <QTimer>
#include <QWebEngineCertificateError>
#include <QWebEngineFindTextResult>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <QtWebEngineCoreVersion>
#include <utility>

// Hands the engine's page boxes and main-frame navigations to the browser that owns it.
class WebPage final : public QWebEnginePage
{
public:
    WebPage(QWebEngineProfile *profile, WebBrowser *owner)
        : QWebEnginePage(profile, owner)
        , m_owner(owner)
    {
    }

protected:
    // New windows come through newWindowRequested, where the popup blocker sees whether a
    // click asked for them.

    void javaScriptAlert(const QUrl &origin, const QString &text) override
    {
        m_owner->pageBox({ PageDialog::Kind::Alert, {}, text, {}, false }, origin);
    }

    bool javaScriptConfirm(const QUrl &origin, const QString &text) override
    {
        // The engine asks before leaving a page through this call, with its own English text.
        const bool leave = text
            == QCoreApplication::translate("QWebEnginePage",
                "Are you sure you want to leave this page? Changes that you made may not be saved.");
        const PageDialog::Kind kind = leave ? PageDialog::Kind::Leave : PageDialog::Kind::Confirm;
        return m_owner->pageBox({ kind, {}, leave ? QString() : text, {}, false }, origin).accepted;
    }

    bool javaScriptPrompt(
        const QUrl &origin, const QString &text, const QString &defaultValue, QString *result) override
    {
        const PageDialogAnswer answer
            = m_owner->pageBox({ PageDialog::Kind::Prompt, {}, text, defaultValue, false }, origin);
        if (answer.accepted && result)
            *result = answer.text;
        return answer.accepted;
    }

    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (isMainFrame)
            m_owner->m_mainFrameTarget = url;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    WebBrowser *m_owner;
};

namespace {

// The origin a page's permissions and popups are remembered under.
QString originOf(const QUrl &url)
{
    return url.toString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

} // namespace

WebBrowser::WebBrowser(QWebEngineProfile *profile, std::shared_ptr<Shared> shared)
    : m_shared(std::move(shared))
    , m_view(new QWebEngineView)
    , m_page(new WebPage(profile, this))
{
    m_view->setPage(m_page);
    m_view->setObjectName(QStringLiteral("WebBrowser1"));
    connectPage();
}

void WebBrowser::connectPage()
{
    connect(m_page, &QWebEnginePage::linkHovered, this,
        [this](const QString &url) { Q_EMIT statusTextChanged(PageText::address(url)); });
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        m_loadBecameDownload = false;
        // Boxes a page was stopped from showing stay stopped until another site is shown.
        const QString origin = originOf(m_page->requestedUrl());
        if (origin != m_boxesOrigin) {
            m_boxesOrigin = origin;
            m_boxesShown = 0;
            m_boxesStopped = false;
        }
        Q_EMIT statusTextChanged(
            QStringLiteral("正在打开网页 %1...").arg(shownAddress(m_page->requestedUrl())));
    });
    connect(m_page, &QWebEnginePage::urlChanged, this, [this] { m_requested.clear(); });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        m_requested.clear();
        // Newer engines end a load that became a download as a failed one; the download's own
        // message stays in the status bar.
        if (ok || !std::exchange(m_loadBecameDownload, false))
            Q_EMIT statusTextChanged(ok
                    ? QStringLiteral("完成")
                    : QStringLiteral("无法打开网页 %1").arg(shownAddress(m_page->requestedUrl())));
        Q_EMIT loadFinished();
        if (ok)
            Q_EMIT pageLoaded(m_page->url().toString(), m_page->title());
    });
    connect(m_page, &QWebEnginePage::newWindowRequested, this, &WebBrowser::newWindow);
    connect(m_page, &QWebEnginePage::titleChanged, this,
        [this](const QString &title) { Q_EMIT titleChanged(title); });
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, [this] { Q_EMIT closeRequested(); });
    connectRequests();
}

void WebBrowser::connectRequests()
{
    // What a page asks of the user is answered at once, while the engine waits.
    connect(m_page, &QWebEnginePage::authenticationRequired, this, &WebBrowser::login);
    connect(m_page, &QWebEnginePage::proxyAuthenticationRequired, this,
        [this](const QUrl &, QAuthenticator *auth, const QString &proxyHost) {
            LoginDialog::answerProxy(asker(), m_view, proxyHost, auth);
        });
    connect(m_page, &QWebEnginePage::certificateError, this, [this](const QWebEngineCertificateError &error) {
        CertificateWarning::answer(asker(), m_view, error);
    });
    m_shared->permissions.watch(m_page, m_view);
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
        m_fullScreen = new FullScreenWindow(m_view, PageText::site(request.origin().toString()));
    } else {
        request.accept();
        delete m_fullScreen;
        if (m_view)
            m_view->setFocus();
    }
}

void WebBrowser::newWindow(QWebEngineNewWindowRequest &request)
{
    // A window the page opens by itself (on load, from a timer, in a loop) opens nothing,
    // unless the user allowed the site for this run; one a click asked for opens as a page.
    const QString origin = originOf(pageUrl());
    if (!request.isUserInitiated() && !PopupPolicy::instance().allowed(origin)) {
        showStatus(QStringLiteral("已阻止 %1 打开的弹出窗口").arg(PageText::site(pageUrl().toString())));
        PopupPolicy::instance().block(this, origin);
        return;
    }
    auto *target = qobject_cast<WebBrowser *>(requestNewWindow());
    if (target)
        request.openIn(target->page());
}

QUrl WebBrowser::pageUrl() const
{
    // Newer engines report the address a little after the page's first script runs.
    if (!m_page->url().isEmpty())
        return m_page->url();
    return m_mainFrameTarget.isEmpty() ? m_page->requestedUrl() : m_mainFrameTarget;
}

PageDialogAnswer WebBrowser::pageBox(PageDialog dialog, const QUrl &origin)
{
    PageDialogAnswer answer;
    if (m_boxesStopped) {
        // A page whose boxes were stopped may still be left.
        answer.accepted = dialog.kind == PageDialog::Kind::Leave;
        return answer;
    }
    dialog.site = PageText::site(origin.toString());
    dialog.offerToStop = m_boxesShown > 0;
    ++m_boxesShown;
    const QPointer<WebBrowser> self(this);
    answer = m_shared->dialogs.PageBox(dialog);
    if (self && answer.stopAsking) {
        m_boxesStopped = true;
        showStatus(QStringLiteral("已禁止 %1 上的网页再显示对话框").arg(dialog.site));
    }
    return answer;
}

void WebBrowser::login(const QUrl &url, QAuthenticator *authenticator)
{
    // Only the site the page itself comes from may ask for a login: a frame of another site
    // would borrow the page's look for its box.
    // A login for the main frame comes while it is on its way to the new address.
    const QUrl top = m_mainFrameTarget.isEmpty() ? pageUrl() : m_mainFrameTarget;
    if (originOf(url) != originOf(top)) {
        *authenticator = QAuthenticator();
        showStatus(QStringLiteral("已拒绝 %1 在 %2 的网页中要求的登录")
                       .arg(PageText::site(url.toString()), PageText::site(top.toString())));
        return;
    }
    LoginDialog::answerSite(asker(), m_view, url, authenticator);
}

void WebBrowser::startOver()
{
    // A new engine page: its history is empty and its opener, if any, holds a page that is gone.
    WebPage *old = m_page;
    old->disconnect(this);
    m_page = new WebPage(old->profile(), this);
    m_page->setZoomFactor(old->zoomFactor());
    m_requested.clear();
    connectPage();
    if (m_view)
        m_view->setPage(m_page);
    // This may run inside one of the old page's own events.
    old->deleteLater();
}

void WebBrowser::showStatus(const QString &text)
{
    Q_EMIT statusTextChanged(text);
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
    if (url.isValid())
        load(url);
    else
        showUnopenable(address);
}

namespace {

// Ends a wait when the page's first request is about to leave for the network.
class FirstRequest final : public QWebEngineUrlRequestInterceptor
{
public:
    explicit FirstRequest(QEventLoop &wait)
        : m_wait(wait)
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo &) override
    {
        QMetaObject::invokeMethod(&m_wait, &QEventLoop::quit, Qt::QueuedConnection);
    }

private:
    QEventLoop &m_wait;
};

} // namespace

void WebBrowser::NavigateAhead(const QString &address)
{
    // The engine takes the steps from load() to the request on this thread, between our events:
    // without a turn of the event loop here the request waits for whatever the caller does next.
    QEventLoop wait;
    FirstRequest watch(wait);
    m_page->setUrlRequestInterceptor(&watch);
    // Queued, as a quit before exec() would be lost.
    connect(m_page, &QWebEnginePage::loadFinished, &wait, &QEventLoop::quit, Qt::QueuedConnection);
    // Addresses that never ask the network (about:, data:) end with their load; this is a bound
    // for an engine that does neither.
    QTimer::singleShot(2000, &wait, &QEventLoop::quit);
    Navigate(address);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    m_page->setUrlRequestInterceptor(nullptr);
}

void WebBrowser::load(const QUrl &url)
{
    m_requested = url;
    m_page->load(url);
}

void WebBrowser::showUnopenable(const QString &address)
{
    // Text that makes no address at all ("a b", ".."): the engine would only show a blank page,
    // so the page says why, as the engine's own error pages do for an address it cannot reach.
    constexpr int longest = 2000;
    const QString shown
        = (address.size() > longest ? address.left(longest) + QChar(0x2026) : address).toHtmlEscaped();
    const QString html
        = QStringLiteral("<!doctype html><html><head><meta charset=utf-8><title>无法打开网页</title>"
                         "</head><body style=\"font-family:sans-serif;margin:3em\"><h2>无法打开网页</h2>"
                         "<p>“%1”不是有效的网址，无法打开。</p><p>请检查地址是否输入正确；"
                         "要搜索这些文字，请按“搜索”按钮。</p></body></html>")
              .arg(shown);
    // Loaded as data, so it has an address of its own in the history; the user sees theirs.
    const QUrl page(
        QStringLiteral("data:text/html;charset=UTF-8,") + QString::fromLatin1(QUrl::toPercentEncoding(html)));
    m_unopenable.insert(page, address);
    load(page);
}

QString WebBrowser::shownAddress(const QUrl &url) const
{
    // Addresses from pages are made safe to show.
    return m_unopenable.value(url, PageText::address(url.toString()));
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
    // The engine moves its address only once the new page's answer arrives; a blank page that was
    // just sent somewhere must not be taken for a blank one in the meantime.
    return shownAddress(m_requested.isEmpty() ? m_page->url() : m_requested);
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

void WebBrowser::setInFront(bool)
{
    // A page behind others is hidden from the engine already (its view is hidden), which
    // throttles its timers and painting. It is never frozen or discarded: a page behind keeps
    // running its scripts, so a mail or chat page still counts new messages in its title, and
    // its status text and requests to close still arrive.
}

QString WebBrowser::storageFolder;
QString WebBrowser::cacheFolder;

QWebEngineProfile *WebBrowser::sharedProfile()
{
    static QWebEngineProfile *profile = [] {
        auto *p = new QWebEngineProfile(QStringLiteral("kovalis"));
        if (!storageFolder.isEmpty())
            p->setPersistentStoragePath(storageFolder);
        if (!cacheFolder.isEmpty())
            p->setCachePath(cacheFolder);
        p->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
        PermissionAsker::keepAnswersInMemory(p);
        QWebEngineSettings *s = p->settings();
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
        s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
        s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
        Language::setUpProfile(p);
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

bool WebBrowser::gpuSwitchedOff(const QString &engineSwitches, const QStringList &arguments)
{
    const QString off = QStringLiteral("--disable-gpu");
    return engineSwitches.split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(off)
        || arguments.contains(off);
}

void WebBrowser::chooseSceneGraph(const QStringList &arguments)
{
    // The engine hands frames it drew in software; Qt Quick's OpenGL path would only copy each into a
    // texture, after making an OpenGL context at the first show (a software one where there is no
    // GPU: about a tenth of a second). A backend the user chose is kept.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")
        && gpuSwitchedOff(qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS"), arguments))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

BrowserFactory WebBrowser::factory(Asker &asker, Dialogs &dialogs)
{
    auto shared = std::make_shared<Shared>(asker, dialogs);
    return [shared]() -> Browser * { return new WebBrowser(sharedProfile(), shared); };
}
