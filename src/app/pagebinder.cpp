#include "pagebinder.h"

#include "pageset.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QWidget>

PageBinder::PageBinder(PageSet &pages, const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_pages(pages)
    , m_controls(controls)
{
    // Page 0 was made, and put in front, with the page set.
    adopt(m_pages.browser(0));
    if (Browser *front = m_pages.front())
        show(front);

    connect(&m_pages, &PageSet::pageMade, this, &PageBinder::adopt);
    connect(&m_pages, &PageSet::pageShown, this, &PageBinder::show);
    connect(&m_pages, &PageSet::pageHidden, this, &PageBinder::hide);
    connect(&m_pages, &PageSet::focusWanted, this, &PageBinder::focus);
    connect(&m_pages, &PageSet::tabAdded, this, [this] {
        const QSignalBlocker blocker(m_controls.tabStrip);
        m_controls.tabStrip->addTab(QString());
    });
    connect(&m_pages, &PageSet::tabRemoved, this, &PageBinder::removeTab);
    // Page titles are shown as they are: "&" would become a shortcut letter on a tab, and "[*]"
    // would vanish from the window's caption.
    connect(&m_pages, &PageSet::tabRenamed, this, [this](int position, const QString &caption) {
        m_controls.tabStrip->setTabText(position - 1, QString(caption).replace(u'&', QStringLiteral("&&")));
    });
    connect(&m_pages, &PageSet::tabSelected, this, &PageBinder::selectTab);
    connect(&m_pages, &PageSet::captionChanged, this, [this](const QString &caption) {
        m_controls.window->setWindowTitle(
            QString(caption).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    });
    connect(&m_pages, &PageSet::addressChanged, m_controls.addressBox, &QLineEdit::setText);
    connect(&m_pages, &PageSet::statusChanged, m_controls.statusPanel, &QLabel::setText);

    connect(m_controls.tabStrip, &QTabBar::currentChanged, this,
        [this](int index) { m_pages.showTab(index + 1); });
    m_controls.tabStrip->installEventFilter(this);
}

void PageBinder::adopt(Browser *browser)
{
    QWidget *view = browser->widget();
    view->setParent(m_controls.pageArea);
    // A new page takes the size the resize rule gave page 0.
    Browser *zero = m_pages.browser(0);
    if (zero && zero != browser)
        view->setGeometry(zero->widget()->geometry());
    else
        view->setGeometry(m_controls.pageArea->rect());
    view->hide();
}

void PageBinder::show(Browser *browser)
{
    if (QWidget *view = browser->widget()) {
        view->show();
        view->raise();
    }
}

void PageBinder::hide(Browser *browser)
{
    if (QWidget *view = browser->widget())
        view->hide();
}

void PageBinder::focus(Browser *browser)
{
    if (QWidget *view = browser->widget())
        view->setFocus();
}

void PageBinder::removeTab(int position)
{
    const QSignalBlocker blocker(m_controls.tabStrip);
    m_controls.tabStrip->removeTab(position - 1);
}

void PageBinder::selectTab(int position)
{
    // The page set runs its selection itself, once, after the change.
    const QSignalBlocker blocker(m_controls.tabStrip);
    m_controls.tabStrip->setCurrentIndex(position - 1);
}

bool PageBinder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_controls.tabStrip && event->type() == QEvent::MouseButtonRelease) {
        // After the tab strip has handled the release, so the selection is current.
        QMetaObject::invokeMethod(
            this, [this] { m_pages.tabReleased(m_controls.tabStrip->currentIndex() + 1); },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
