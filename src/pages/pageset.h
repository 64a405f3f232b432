#pragma once

#include "browser.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <map>

class Dialogs;
class QLabel;
class QLineEdit;
class QTabBar;
class QTimer;
class QWidget;

// The open pages: one browser paired with one tab each, which page is in front, how pages are
// made, selected and closed, and the answers to the browsers' events.
class PageSet final : public QObject
{
    Q_OBJECT

public:
    // The main window's controls the page set keeps in step with the page in front.
    struct Controls
    {
        QWidget *window = nullptr;
        QTabBar *TabStrip1 = nullptr;
        QWidget *Picture2 = nullptr;
        QLineEdit *Text1 = nullptr;
        QLabel *statusPanel = nullptr;
        QTimer *Timer1 = nullptr;
        Dialogs *dialogs = nullptr;
    };

    static constexpr int captionLimit = 3000;

    // Told the address of a page just before it closes.
    using ClosingHandler = std::function<void(const QString &address)>;

    PageSet(const Controls &controls, BrowserFactory factory, QObject *parent = nullptr);
    ~PageSet() override;

    void setClosingHandler(ClosingHandler handler) { m_closingHandler = std::move(handler); }

    qint16 curP() const { return m_curP; }
    void setCurP(qint16 page) { m_curP = page; }
    const QList<qint16> &pageList() const { return m_pageList; }
    // Null when the page's browser does not exist.
    Browser *browser(qint16 page) const;
    Browser *current() const { return browser(m_curP); }

    // Start-up puts page 0, which exists from the start, into the list.
    void addFirstPage();

    void NewP();
    qint16 TabPos(qint16 page) const;

    // Handlers: the close button, tab selection and a mouse release on the tab strip.
    void Command5_Click();
    void TabStrip1_Click();
    void TabStrip1_MouseUp();

    // The tab caption for a title: at most the first 3000 characters, then "...".
    static QString tabCaption(const QString &title);

private:
    Browser *createBrowser(qint16 page);
    void connectEvents(Browser *browser, qint16 page);
    qint16 smallestFreeIndex() const;
    void selectTab(int position);
    void bringToFront(qint16 page);

    void StatusTextChange(qint16 index, const QString &text);
    void DownloadComplete(qint16 index);
    void TitleChange(qint16 index, const QString &title);
    Browser *NewWindow2(qint16 index);
    void WindowClosing(qint16 index);

    Controls m_controls;
    BrowserFactory m_factory;
    std::map<qint16, Browser *> m_browsers;
    QList<qint16> m_pageList;
    qint16 m_curP = 0;
    Browser *m_front = nullptr;
    ClosingHandler m_closingHandler;
};
