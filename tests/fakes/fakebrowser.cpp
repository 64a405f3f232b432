#include "fakebrowser.h"

#include "failure.h"

int FakeBrowser::liveCount = 0;

FakeBrowser::FakeBrowser()
{
    ++liveCount;
}

FakeBrowser::~FakeBrowser()
{
    --liveCount;
    delete m_widget;
}

QWidget *FakeBrowser::widget()
{
    if (!m_widget)
        m_widget = new QWidget;
    return m_widget;
}

void FakeBrowser::Navigate(const QString &address)
{
    navigations.append(address);
    if (navigateMovesLocation)
        location = address;
}

void FakeBrowser::GoBack()
{
    if (failHistory)
        throw Failure(QStringLiteral("没有可后退的网页"));
    ++backs;
}

void FakeBrowser::GoForward()
{
    if (failHistory)
        throw Failure(QStringLiteral("没有可前进的网页"));
    ++forwards;
}

void FakeBrowser::setZoomFactor(qreal factor)
{
    if (failZoom)
        throw Failure(QStringLiteral("zoom refused"));
    zoom = factor;
}

void FakeBrowser::findText(const QString &text, bool backward)
{
    finds.append(backward ? text + QStringLiteral(" <") : text);
}

void FakeBrowser::startOver()
{
    ++startOvers;
    navigations.append(QStringLiteral("about:blank"));
    location = QStringLiteral("about:blank");
}

void FakeBrowser::finishLoad(const QString &address, const QString &newTitle)
{
    location = address;
    title = newTitle;
    Q_EMIT titleChanged(newTitle);
    Q_EMIT loadFinished();
    Q_EMIT pageLoaded(address, newTitle);
}

BrowserFactory FakeBrowserFactory::factory()
{
    return [this] {
        auto *browser = new FakeBrowser;
        made.append(browser);
        return browser;
    };
}
