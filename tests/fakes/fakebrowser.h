#pragma once

#include "browser.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

// A browser with no engine: records what it was asked and lets a test raise its events.
class FakeBrowser final : public Browser
{
    Q_OBJECT

public:
    FakeBrowser();
    ~FakeBrowser() override;

    // Made when first asked for, so the page set's own tests build no widget.
    QWidget *widget() override;
    void Navigate(const QString &address) override;
    void GoBack() override;
    void GoForward() override;
    void Stop() override { ++stops; }
    void Refresh() override { ++refreshes; }
    QString LocationURL() const override { return location; }
    QString LocationName() const override { return title; }
    qreal zoomFactor() const override { return zoom; }
    void setZoomFactor(qreal factor) override;
    void setInFront(bool inFront) override { inFrontNow = inFront; }
    void findText(const QString &text, bool backward) override;
    void startOver() override;

    // Test controls.
    void finishLoad(const QString &address, const QString &newTitle);
    Browser *openNewWindow() { return requestNewWindow(); }

    QString location;
    QString title;
    QStringList navigations;
    int backs = 0;
    int forwards = 0;
    int stops = 0;
    int refreshes = 0;
    int startOvers = 0;
    qreal zoom = 1.0;
    bool inFrontNow = false;
    // Each findText call as "text" or "text <" for a backward one.
    QStringList finds;
    bool failHistory = false; // GoBack/GoForward throw, as with no history
    bool failZoom = false;
    // Navigate moves the location at once, as the engine does for about:blank.
    bool navigateMovesLocation = true;

    static int liveCount;

    bool hasWidget() const { return !m_widget.isNull(); }

private:
    QPointer<QWidget> m_widget;
};

// Builds FakeBrowsers and keeps track of them for the test.
struct FakeBrowserFactory
{
    QList<FakeBrowser *> made;
    BrowserFactory factory();
};
