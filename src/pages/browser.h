#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// One page's browser control, as the main window sees it. The real one runs on the web
// engine; tests use a fake. Its four signals and the new-window handler are the five events the
// page set answers (docs/glossary.md names them as the design does).
class Browser : public QObject
{
    Q_OBJECT

public:
    // Asked when the page wants a new window: returns the browser that is to receive it.
    using NewWindowHandler = std::function<Browser *()>;

    using QObject::QObject;
    ~Browser() override = default;

    virtual QWidget *widget() = 0;

    // An address as a user would type it into a browser's address bar.
    virtual void Navigate(const QString &address) = 0;
    // Navigate, then let the engine run until the request has left (or the load has ended), so
    // the work that follows does not hold the first page up.
    virtual void NavigateAhead(const QString &address) { Navigate(address); }
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Stop() = 0;
    virtual void Refresh() = 0;
    virtual QString LocationURL() const = 0;
    virtual QString LocationName() const = 0;

    virtual qreal zoomFactor() const = 0;
    virtual void setZoomFactor(qreal factor) = 0;

    // Only the page in front is shown to the engine; the others are hidden from it so it can
    // throttle them, while the program still counts them as open, visible pages.
    virtual void setInFront(bool inFront) = 0;

    // Finds the next (or previous) match of text on the page; empty text clears the marks.
    virtual void findText(const QString &text, bool backward) = 0;

    // Starts over as a fresh blank page: no history to go back into, and no page that opened
    // this one keeps a hold on it.
    virtual void startOver() = 0;

    void setNewWindowHandler(NewWindowHandler handler) { m_newWindowHandler = std::move(handler); }

Q_SIGNALS:
    void statusTextChanged(const QString &text);
    // A load ended, a failed one too.
    void loadFinished();
    void titleChanged(const QString &title);
    // The page asks to close itself.
    void closeRequested();
    // A top-level load finished and shows the page itself, not the engine's error page.
    void pageLoaded(const QString &address, const QString &title);

protected:
    Browser *requestNewWindow() { return m_newWindowHandler ? m_newWindowHandler() : nullptr; }

private:
    NewWindowHandler m_newWindowHandler;
};

// Makes the browser for a new page; the window puts its widget into the page area.
using BrowserFactory = std::function<Browser *()>;
