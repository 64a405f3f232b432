#pragma once

#include <QPointer>
#include <QWidget>

class QWebEnginePage;
class QWebEngineView;

// Shows a page that asked for full screen on the whole screen; Esc leaves full screen and
// the page goes back to its own view in the page area.
class FullScreenWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit FullScreenWindow(QWebEngineView *pageView);
    ~FullScreenWindow() override;

private:
    QWebEngineView *m_view;
    QPointer<QWebEngineView> m_pageView;
};
