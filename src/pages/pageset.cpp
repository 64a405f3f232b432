#include "pageset.h"

#include "blankpage.h"
#include "dialogs.h"
#include "failure.h"

#include <QElapsedTimer>
#include <utility>
#include <vector>

PageSet::Clock PageSet::steadyClock()
{
    return [] {
        static QElapsedTimer clock = [] {
            QElapsedTimer started;
            started.start();
            return started;
        }();
        return clock.elapsed();
    };
}

PageSet::PageSet(BrowserFactory factory, Dialogs &dialogs, Clock clock, QObject *parent)
    : QObject(parent)
    , m_factory(std::move(factory))
    , m_dialogs(dialogs)
    , m_clock(std::move(clock))
    , m_armedAt(m_clock())
{
    // Element 0 exists from the window's creation and is never destroyed.
    bringToFront(createBrowser(0));
}

PageSet::~PageSet()
{
    for (auto &[page, browser] : m_browsers)
        delete browser;
}

Browser *PageSet::browser(qint16 page) const
{
    const auto it = m_browsers.find(page);
    return it == m_browsers.end() ? nullptr : it->second;
}

void PageSet::addFirstPage()
{
    if (!m_pageList.contains(0))
        m_pageList.append(0);
}

void PageSet::releaseShown()
{
    m_holding = false;
    if (m_heldAddress)
        Q_EMIT addressChanged(*std::exchange(m_heldAddress, std::nullopt));
    if (m_heldCaption)
        Q_EMIT captionChanged(*std::exchange(m_heldCaption, std::nullopt));
    if (m_heldStatus)
        Q_EMIT statusChanged(*std::exchange(m_heldStatus, std::nullopt));
    for (const auto &[position, caption] : std::exchange(m_heldTabCaptions, {}))
        Q_EMIT tabRenamed(position, caption);
}

void PageSet::showAddress(const QString &address)
{
    if (m_holding)
        m_heldAddress = address;
    else
        Q_EMIT addressChanged(address);
}

void PageSet::showCaption(const QString &caption)
{
    if (m_holding)
        m_heldCaption = caption;
    else
        Q_EMIT captionChanged(caption);
}

void PageSet::showStatus(const QString &text)
{
    if (m_holding)
        m_heldStatus = text;
    else
        Q_EMIT statusChanged(text);
}

void PageSet::showTabCaption(int position, const QString &caption)
{
    if (m_holding)
        m_heldTabCaptions[position] = caption;
    else
        Q_EMIT tabRenamed(position, caption);
}

Browser *PageSet::createBrowser(qint16 page)
{
    Browser *created = m_factory();
    if (!created)
        throw Failure(QStringLiteral("无法创建新网页。"));
    created->setInFront(false);
    m_browsers[page] = created;
    connectEvents(created, page);
    Q_EMIT pageMade(created);
    return created;
}

void PageSet::connectEvents(Browser *b, qint16 page)
{
    connect(b, &Browser::statusTextChanged, this, &PageSet::onStatusText);
    connect(b, &Browser::loadFinished, this, [this, page] { onLoadFinished(page); });
    connect(b, &Browser::titleChanged, this, [this, page](const QString &title) { onTitle(page, title); });
    connect(b, &Browser::closeRequested, this, [this, page] { onWindowClosing(page); });
    b->setNewWindowHandler([this] { return onNewWindow(); });
}

qint16 PageSet::TabPos(qint16 page) const
{
    const qsizetype i = m_pageList.indexOf(page);
    return i < 0 ? 0 : qint16(i + 1);
}

qint16 PageSet::smallestFreeIndex() const
{
    // The smallest non-negative index not in the list, in one pass.
    std::vector<bool> taken(m_pageList.size() + 1, false);
    for (qint16 page : m_pageList) {
        if (page >= 0 && page < qint16(taken.size()))
            taken[page] = true;
    }
    qint16 n = 0;
    while (taken[n])
        ++n;
    return n;
}

void PageSet::NewP()
{
    for (qint16 q : std::as_const(m_pageList)) {
        Browser *b = browser(q);
        if (!b)
            throw Failure(QStringLiteral("网页 %1 不存在。").arg(q));
        if (BlankPage::is(b->LocationURL()) && mayReuse(q)) {
            m_curP = q;
            selectTab(TabPos(q));
            return;
        }
    }
    if (m_pageList.size() >= 32767)
        throw Failure(QStringLiteral("打开的网页太多了。"));
    const qint16 n = smallestFreeIndex();
    if (n != 0)
        createBrowser(n);
    m_curP = n;
    m_pageList.append(n);
    Q_EMIT tabAdded();
    selectTab(TabPos(n));
}

void PageSet::selectTab(int position)
{
    // The window moves its tab strip without telling back; the selection runs once, here.
    Q_EMIT tabSelected(position);
    showTab(position);
}

void PageSet::bringToFront(Browser *b)
{
    if (m_front && m_front != b)
        putAway(m_front);
    m_front = b;
    b->setInFront(true);
    Q_EMIT pageShown(b);
}

void PageSet::putAway(Browser *b)
{
    b->setInFront(false);
    if (m_front == b)
        m_front = nullptr;
    Q_EMIT pageHidden(b);
}

void PageSet::showTab(int position)
{
    // Every step runs whatever the one before it found; a page that has lost its browser closes.
    std::optional<QString> problem;
    if (position < 1 || position > m_pageList.size())
        problem = QStringLiteral("没有选中的标签。");
    else
        m_curP = m_pageList.at(position - 1);
    Browser *b = browser(m_curP);
    if (!b) {
        closeCurrent();
        return;
    }
    bringToFront(b);
    Q_EMIT focusWanted(b);
    showAddress(b->LocationURL());
    showCaption(b->LocationName());
    if (problem)
        m_dialogs.MsgBox(*problem);
}

void PageSet::closeCurrent()
{
    Browser *closing = browser(m_curP);
    if (closing && m_closingHandler)
        m_closingHandler(closing->LocationURL());
    std::optional<Failure> problem;
    m_openedByPages.remove(m_curP);
    if (m_curP == 0) {
        // Page 0 is never destroyed; it starts over so the next site opened in it cannot go back
        // into the closed one, and whoever opened it loses its hold.
        problem = attempt([closing] { closing->startOver(); });
        putAway(closing);
    } else if (closing) {
        m_browsers.erase(m_curP);
        putAway(closing);
        // The page may be closing itself from inside one of its own events.
        closing->deleteLater();
    }
    if (m_pageList.size() > 1) {
        const qint16 position = TabPos(m_curP);
        if (position == 0) {
            problem = Failure(QStringLiteral("网页 %1 没有标签。").arg(m_curP));
        } else {
            Q_EMIT tabRemoved(position);
            m_pageList.removeAt(position - 1);
        }
        selectTab(int(m_pageList.size()));
    } else {
        m_curP = 0;
        m_pageList.clear();
        m_pageList.append(0);
        bringToFront(browser(0));
    }
    if (problem)
        m_dialogs.MsgBox(problem->description());
}

void PageSet::tabReleased(int position)
{
    if (position < 1 || position > m_pageList.size())
        return;
    const qint16 q = m_pageList.at(position - 1);
    const qint64 now = m_clock();
    if (q == m_curP && m_armedAt && now - *m_armedAt < doubleReleaseMs) {
        closeCurrent();
        m_armedAt.reset();
    } else {
        m_armedAt = now;
    }
}

QString PageSet::tabCaption(const QString &title)
{
    if (title.size() <= captionLimit)
        return title;
    return title.left(captionLimit) + QStringLiteral("...");
}

void PageSet::onStatusText(const QString &text)
{
    showStatus(text);
}

void PageSet::onLoadFinished(qint16 page)
{
    if (page != m_curP)
        return;
    if (Browser *b = browser(m_curP))
        showAddress(b->LocationURL());
}

void PageSet::onTitle(qint16 page, const QString &title)
{
    if (page == m_curP)
        showCaption(title);
    const qint16 position = TabPos(page);
    if (position > 0)
        showTabCaption(position, tabCaption(title));
}

Browser *PageSet::onNewWindow()
{
    if (const std::optional<Failure> failure = attempt([this] { NewP(); })) {
        m_dialogs.MsgBox(failure->description());
        return nullptr;
    }
    m_openedByPages.insert(m_curP);
    Browser *b = current();
    if (b)
        Q_EMIT focusWanted(b);
    return b;
}

void PageSet::onWindowClosing(qint16 page)
{
    m_curP = page;
    closeCurrent();
}
