#pragma once

#include "browser.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <map>
#include <optional>

class Dialogs;

// The open pages: one browser paired with one tab each, which page is in front, how pages are
// made, selected and closed, and the answers to the browsers' events. It knows no widget: every
// change the window is to show leaves as a signal, and the window's binder draws it. Tab
// positions are 1-based, as TabPos gives them.
class PageSet final : public QObject
{
    Q_OBJECT

public:
    static constexpr int captionLimit = 3000;
    // Two releases on the page in front closer together than this close it.
    static constexpr qint64 doubleReleaseMs = 800;

    // Milliseconds on a clock that never goes back; the double release is timed on it.
    using Clock = std::function<qint64()>;
    static Clock steadyClock();

    // Told the address of a page just before it closes.
    using ClosingHandler = std::function<void(const QString &address)>;

    PageSet(BrowserFactory factory, Dialogs &dialogs, Clock clock = steadyClock(), QObject *parent = nullptr);
    ~PageSet() override;

    void setClosingHandler(ClosingHandler handler) { m_closingHandler = std::move(handler); }

    qint16 curP() const { return m_curP; }
    void setCurP(qint16 page) { m_curP = page; }
    const QList<qint16> &pageList() const { return m_pageList; }
    // Null when the page's browser does not exist.
    Browser *browser(qint16 page) const;
    Browser *current() const { return browser(m_curP); }
    // The browser shown in front, null when none is (page 0 just closed).
    Browser *front() const { return m_front; }

    // Start-up puts page 0, which exists from the start, into the list (once).
    void addFirstPage();
    // Until the window's controls are there to show them, the address, caption, status and tab
    // captions are kept (the last of each) and told on release.
    void holdShown() { m_holding = true; }
    void releaseShown();

    // A page for a new address: the first blank one in tab order that no page opened, else a new
    // one at the end. Throws Failure when no page can be made.
    void NewP();
    // Whether an address of the user's may go into the page: no page opened it.
    bool mayReuse(qint16 page) const { return !m_openedByPages.contains(page); }
    // The page's tab position, 0 when it has no tab.
    qint16 TabPos(qint16 page) const;

    // Closes the page in front (the close button, Ctrl+W, the double release).
    void closeCurrent();
    // The tab at position was selected: its page comes to the front.
    void showTab(int position);
    // A mouse button was released on the tab strip with the tab at position selected.
    void tabReleased(int position);

    // The tab caption for a title: at most the first 3000 characters, then "...".
    static QString tabCaption(const QString &title);

Q_SIGNALS:
    // A browser was made for a new page, behind the others.
    void pageMade(Browser *browser);
    void pageShown(Browser *browser);
    // Out of sight: page 0 when it closes; every other page just before it is deleted.
    void pageHidden(Browser *browser);
    void focusWanted(Browser *browser);
    // A tab without caption at the end.
    void tabAdded();
    void tabRemoved(int position);
    void tabRenamed(int position, const QString &caption);
    void tabSelected(int position);
    void captionChanged(const QString &caption);
    void addressChanged(const QString &address);
    void statusChanged(const QString &text);

private:
    Browser *createBrowser(qint16 page);
    void connectEvents(Browser *browser, qint16 page);
    qint16 smallestFreeIndex() const;
    void selectTab(int position);
    void bringToFront(Browser *browser);
    void putAway(Browser *browser);

    void showAddress(const QString &address);
    void showCaption(const QString &caption);
    void showStatus(const QString &text);
    void showTabCaption(int position, const QString &caption);

    // The answers to the browsers' events.
    void onStatusText(const QString &text);
    void onLoadFinished(qint16 page);
    void onTitle(qint16 page, const QString &title);
    Browser *onNewWindow();
    void onWindowClosing(qint16 page);

    BrowserFactory m_factory;
    Dialogs &m_dialogs;
    Clock m_clock;
    std::map<qint16, Browser *> m_browsers;
    QList<qint16> m_pageList;
    qint16 m_curP = 0;
    Browser *m_front = nullptr;
    // When the last release armed the double release; the window starts armed.
    std::optional<qint64> m_armedAt;
    // Pages a page opened: blank or not, they are never reused for an address of the user's,
    // since the opener can still script them.
    QSet<qint16> m_openedByPages;
    ClosingHandler m_closingHandler;
    bool m_holding = false;
    std::optional<QString> m_heldAddress;
    std::optional<QString> m_heldCaption;
    std::optional<QString> m_heldStatus;
    std::map<int, QString> m_heldTabCaptions;
};
