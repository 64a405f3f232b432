#include "fullscreenwindow.h"

#include <QAction>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

FullScreenWindow::FullScreenWindow(QWebEngineView *pageView)
    : m_view(new QWebEngineView(this))
    , m_pageView(pageView)
{
    setObjectName(QStringLiteral("FullScreenWindow"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    QWebEnginePage *page = pageView->page();
    m_view->setPage(page);

    auto *leave = new QAction(this);
    leave->setShortcut(Qt::Key_Escape);
    leave->setShortcutContext(Qt::WindowShortcut);
    connect(
        leave, &QAction::triggered, page, [page] { page->triggerAction(QWebEnginePage::ExitFullScreen); });
    addAction(leave);

    showFullScreen();
    m_view->setFocus();
}

FullScreenWindow::~FullScreenWindow()
{
    // The page goes back to the view in the page area before this window's view goes.
    QWebEnginePage *page = m_view->page();
    if (m_pageView && page)
        m_pageView->setPage(page);
}
