#include "fakebrowser.h"

#include "failure.h"

int FakeBrowser::liveCount = 0;

FakeBrowser::FakeBrowser(QWidget *pageArea)
    : m_widget(new QWidget(pageArea))
{
    ++liveCount;
}

FakeBrowser::~FakeBrowser()
{
    --liveCount;
    delete m_widget;
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

void FakeBrowser::finishLoad(const QString &address, const QString &newTitle)
{
    location = address;
    title = newTitle;
    Q_EMIT TitleChange(newTitle);
    Q_EMIT DownloadComplete();
}

BrowserFactory FakeBrowserFactory::factory()
{
    return [this](QWidget *pageArea) {
        auto *browser = new FakeBrowser(pageArea);
        made.append(browser);
        return browser;
    };
}
