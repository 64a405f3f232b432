#include "fullscreenwindow.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

FullScreenWindow::FullScreenWindow(QWebEngineView *pageView, const QString &site)
    : m_view(new QWebEngineView(this))
    , m_notice(new QLabel(this))
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

    m_notice->setObjectName(QStringLiteral("FullScreenNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setText(QStringLiteral("%1 现在全屏显示  ·  按 Esc 退出全屏").arg(site));
    m_notice->setStyleSheet(QStringLiteral("QLabel { background: rgba(32, 32, 32, 220); color: white; "
                                           "padding: 10px 18px; border-radius: 6px; }"));
    m_notice->adjustSize();
    QTimer::singleShot(5000, m_notice, &QWidget::hide);

    showFullScreen();
    placeNotice();
    m_notice->raise();
    m_view->setFocus();
}

void FullScreenWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeNotice();
}

void FullScreenWindow::placeNotice()
{
    m_notice->adjustSize();
    m_notice->move((width() - m_notice->width()) / 2, 24);
    m_notice->raise();
}

FullScreenWindow::~FullScreenWindow()
{
    // The page goes back to the view in the page area before this window's view goes.
    QWebEnginePage *page = m_view->page();
    if (m_pageView && page)
        m_pageView->setPage(page);
}
