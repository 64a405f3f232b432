#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QWebEnginePage;
class QWebEngineView;

// Shows a page that asked for full screen on the whole screen; Esc leaves full screen and
// the page goes back to its own view in the page area. A notice names the site and the way
// out for a few seconds, so a page cannot pass its full-screen picture off as the desktop.
class FullScreenWindow final : public QWidget
{
    Q_OBJECT

public:
    FullScreenWindow(QWebEngineView *pageView, const QString &site);
    ~FullScreenWindow() override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeNotice();

    QWebEngineView *m_view;
    QLabel *m_notice;
    QPointer<QWebEngineView> m_pageView;
};
