#include "pageset.h"

#include "dialogs.h"
#include "failure.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

namespace {

const QString kBlank = QStringLiteral("about:blank");

// A page whose address, lower-cased, is exactly "about:blank"; checked without copying, since
// every new page scans all open ones.
bool isBlank(const QString &address)
{
    return address.size() == kBlank.size() && address.compare(kBlank, Qt::CaseInsensitive) == 0;
}

Failure elementMissing(qint16 page)
{
    return Failure(QStringLiteral("网页 %1 不存在。").arg(page), Failure::Kind::ElementMissing);
}

// Runs one step of a handler that carries on past failures, remembering the last one.
template <typename Step> void attempt(std::optional<Failure> &last, Step &&step)
{
    try {
        step();
    } catch (const Failure &failure) {
        last = failure;
    } catch (const std::exception &e) {
        last = Failure(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace

PageSet::PageSet(const Controls &controls, BrowserFactory factory, QObject *parent)
    : QObject(parent)
    , m_controls(controls)
    , m_factory(std::move(factory))
{
    // Element 0 exists from the window's creation and is never destroyed.
    createBrowser(0);
    bringToFront(0);
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
    m_pageList.append(0);
}

Browser *PageSet::createBrowser(qint16 page)
{
    Browser *created = m_factory(m_controls.Picture2);
    if (!created)
        throw Failure(QStringLiteral("无法创建新网页。"));
    QWidget *view = created->widget();
    if (auto zero = m_browsers.find(0); zero != m_browsers.end())
        view->setGeometry(zero->second->widget()->geometry());
    else
        view->setGeometry(m_controls.Picture2->rect());
    view->hide();
    created->setInFront(false);
    m_browsers[page] = created;
    connectEvents(created, page);
    return created;
}

void PageSet::connectEvents(Browser *b, qint16 page)
{
    connect(b, &Browser::StatusTextChange, this,
        [this, page](const QString &text) { StatusTextChange(page, text); });
    connect(b, &Browser::DownloadComplete, this, [this, page] { DownloadComplete(page); });
    connect(b, &Browser::TitleChange, this, [this, page](const QString &title) { TitleChange(page, title); });
    connect(b, &Browser::WindowClosing, this, [this, page] { WindowClosing(page); });
    b->setNewWindowHandler([this, page] { return NewWindow2(page); });
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
            throw elementMissing(q);
        if (isBlank(b->LocationURL())) {
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
    {
        const QSignalBlocker blocker(m_controls.TabStrip1);
        m_controls.TabStrip1->addTab(QString());
    }
    selectTab(TabPos(n));
}

void PageSet::selectTab(int position)
{
    {
        // The selection handler runs once below, after the change, not from inside the tab bar.
        const QSignalBlocker blocker(m_controls.TabStrip1);
        m_controls.TabStrip1->setCurrentIndex(position - 1);
    }
    TabStrip1_Click();
}

void PageSet::bringToFront(qint16 page)
{
    Browser *b = browser(page);
    if (!b)
        throw elementMissing(page);
    if (m_front && m_front != b) {
        m_front->widget()->hide();
        m_front->setInFront(false);
    }
    m_front = b;
    b->setInFront(true);
    b->widget()->show();
    b->widget()->raise();
}

void PageSet::TabStrip1_Click()
{
    std::optional<Failure> last;
    attempt(last, [&] {
        const int position = m_controls.TabStrip1->currentIndex() + 1;
        if (position < 1 || position > m_pageList.size())
            throw Failure(QStringLiteral("没有选中的标签。"));
        m_curP = m_pageList.at(position - 1);
    });
    attempt(last, [&] { bringToFront(m_curP); });
    attempt(last, [&] {
        Browser *b = browser(m_curP);
        if (!b)
            throw elementMissing(m_curP);
        b->widget()->setFocus();
    });
    attempt(last, [&] {
        Browser *b = browser(m_curP);
        if (!b)
            throw elementMissing(m_curP);
        m_controls.Text1->setText(b->LocationURL());
    });
    attempt(last, [&] {
        Browser *b = browser(m_curP);
        if (!b)
            throw elementMissing(m_curP);
        m_controls.window->setWindowTitle(b->LocationName());
    });
    if (!last)
        return;
    if (last->kind() == Failure::Kind::ElementMissing)
        Command5_Click();
    else
        m_controls.dialogs->MsgBox(last->description());
}

void PageSet::Command5_Click()
{
    if (m_closingHandler) {
        if (Browser *closing = browser(m_curP))
            m_closingHandler(closing->LocationURL());
    }
    std::optional<Failure> last;
    attempt(last, [&] {
        if (m_curP == 0) {
            Browser *zero = browser(0);
            zero->Navigate(kBlank);
            zero->widget()->hide();
            zero->setInFront(false);
            if (m_front == zero)
                m_front = nullptr;
        } else {
            const auto it = m_browsers.find(m_curP);
            if (it == m_browsers.end())
                throw elementMissing(m_curP);
            Browser *gone = it->second;
            m_browsers.erase(it);
            if (m_front == gone)
                m_front = nullptr;
            gone->widget()->hide();
            // The page may be closing itself from inside one of its own events.
            gone->deleteLater();
        }
    });
    if (m_pageList.size() > 1) {
        attempt(last, [&] {
            const qint16 position = TabPos(m_curP);
            if (position == 0)
                throw Failure(QStringLiteral("网页 %1 没有标签。").arg(m_curP));
            {
                const QSignalBlocker blocker(m_controls.TabStrip1);
                m_controls.TabStrip1->removeTab(position - 1);
            }
            m_pageList.removeAt(position - 1);
        });
        attempt(last, [&] { selectTab(m_controls.TabStrip1->count()); });
    } else {
        m_curP = 0;
        m_pageList.clear();
        m_pageList.append(0);
        attempt(last, [&] { bringToFront(0); });
    }
    if (last && last->kind() != Failure::Kind::ElementMissing)
        m_controls.dialogs->MsgBox(last->description());
}

void PageSet::TabStrip1_MouseUp()
{
    const int position = m_controls.TabStrip1->currentIndex() + 1;
    if (position < 1 || position > m_pageList.size())
        return;
    const qint16 q = m_pageList.at(position - 1);
    if (q == m_curP && m_controls.Timer1->isActive()) {
        Command5_Click();
        m_controls.Timer1->stop();
    } else {
        m_controls.Timer1->start();
    }
}

QString PageSet::tabCaption(const QString &title)
{
    if (title.size() <= captionLimit)
        return title;
    return title.left(captionLimit) + QStringLiteral("...");
}

void PageSet::StatusTextChange(qint16, const QString &text)
{
    m_controls.statusPanel->setText(text);
}

void PageSet::DownloadComplete(qint16 index)
{
    if (index != m_curP)
        return;
    if (Browser *b = browser(m_curP))
        m_controls.Text1->setText(b->LocationURL());
}

void PageSet::TitleChange(qint16 index, const QString &title)
{
    if (index == m_curP)
        m_controls.window->setWindowTitle(title);
    const qint16 position = TabPos(index);
    if (position > 0)
        m_controls.TabStrip1->setTabText(position - 1, tabCaption(title));
}

Browser *PageSet::NewWindow2(qint16)
{
    try {
        NewP();
    } catch (const Failure &failure) {
        m_controls.dialogs->MsgBox(failure.description());
        return nullptr;
    }
    Browser *b = current();
    if (b)
        b->widget()->setFocus();
    return b;
}

void PageSet::WindowClosing(qint16 index)
{
    m_curP = index;
    Command5_Click();
}
