#include "fakebrowser.h"
#include "pageset.h"
#include "scripteddialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
const QString kBlank = QStringLiteral("about:blank");
}

// The page set on fake browsers, with the main window's controls it keeps in step.
class tst_PageSet : public QObject
{
    Q_OBJECT

private:
    struct Window
    {
        QWidget window;
        QTabBar *tabs = new QTabBar(&window);
        QWidget *area = new QWidget(&window);
        QLineEdit *address = new QLineEdit(&window);
        QLabel *status = new QLabel(&window);
        QTimer *timer = new QTimer(&window);
        ScriptedDialogs dialogs;
        FakeBrowserFactory browsers;
        std::unique_ptr<PageSet> pages;

        Window()
        {
            timer->setInterval(800);
            connect(timer, &QTimer::timeout, timer, &QTimer::stop);
            tabs->addTab(QString());
            PageSet::Controls c { &window, tabs, area, address, status, timer, &dialogs };
            pages = std::make_unique<PageSet>(c, browsers.factory());
            pages->addFirstPage();
            connect(tabs, &QTabBar::currentChanged, &window, [this] { pages->TabStrip1_Click(); });
        }
        FakeBrowser *fake(qint16 page) const { return static_cast<FakeBrowser *>(pages->browser(page)); }
        // Opens a page that has navigated away from blank, as a user's new tab would be.
        qint16 openLoaded(const QString &address)
        {
            pages->NewP();
            const qint16 page = pages->curP();
            fake(page)->finishLoad(address, address);
            return page;
        }
    };

    static void verifyInvariants(const Window &w)
    {
        const QList<qint16> &list = w.pages->pageList();
        QVERIFY(!list.isEmpty());
        QCOMPARE(list.size(), w.tabs->count());
        QCOMPARE(QSet<qint16>(list.begin(), list.end()).size(), list.size());
        for (qint16 page : list)
            QVERIFY2(w.pages->browser(page), "every listed page has a browser");
        if (!list.contains(0)) {
            QVERIFY(w.pages->browser(0));
            QVERIFY(w.fake(0)->widget()->isHidden());
            QCOMPARE(w.fake(0)->navigations.last(), kBlank);
        }
        QCOMPARE(w.pages->curP(), list.at(w.tabs->currentIndex()));
        // Only the page in front is shown to the engine.
        for (qint16 page : list)
            QCOMPARE(w.fake(page)->inFrontNow, page == w.pages->curP());
    }

private Q_SLOTS:
    void newP_reusesFirstBlankPageInTabOrder()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://a/"), QStringLiteral("A"));
        w.openLoaded(QStringLiteral("http://b/"));
        w.pages->NewP(); // page 2, never navigated: not blank
        w.fake(1)->location = QStringLiteral("About:Blank");
        w.pages->NewP();
        QCOMPARE(w.pages->curP(), qint16(1));
        QCOMPARE(w.tabs->currentIndex(), 1);
        QCOMPARE(w.browsers.made.size(), 3);
        verifyInvariants(w);
    }

    void newP_countsAPageBlankByItsLocationNotByWhatItWasAsked()
    {
        Window w;
        w.fake(0)->location = kBlank;
        w.fake(0)->navigateMovesLocation = false;
        w.fake(0)->Navigate(QStringLiteral("http://elsewhere/"));
        w.pages->NewP();
        QCOMPARE(w.pages->curP(), qint16(0));
        QCOMPARE(w.pages->pageList().size(), 1);
    }

    void newP_takesSmallestFreeIndex_data()
    {
        QTest::addColumn<QList<qint16>>("closed");
        QTest::addColumn<qint16>("expected");
        QTest::addColumn<int>("browsersMade");
        QTest::addRow("none closed") << QList<qint16> {} << qint16(3) << 4;
        QTest::addRow("middle closed") << QList<qint16> { 1 } << qint16(1) << 4;
        QTest::addRow("two closed, smaller wins") << QList<qint16> { 2, 1 } << qint16(1) << 4;
        QTest::addRow("page 0 comes back without a new browser") << QList<qint16> { 0, 1 } << qint16(0) << 3;
    }

    void newP_takesSmallestFreeIndex()
    {
        QFETCH(QList<qint16>, closed);
        QFETCH(qint16, expected);
        QFETCH(int, browsersMade);
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("0"));
        w.openLoaded(QStringLiteral("http://1/"));
        w.openLoaded(QStringLiteral("http://2/"));
        for (qint16 page : closed) {
            w.pages->setCurP(page);
            w.pages->Command5_Click();
            verifyInvariants(w);
        }
        w.pages->NewP();
        QCOMPARE(w.pages->curP(), expected);
        QCOMPARE(w.browsers.made.size(), browsersMade);
        QCOMPARE(w.pages->pageList().last(), expected);
        verifyInvariants(w);
    }

    void close_selectsTheLastTab_data()
    {
        QTest::addColumn<qint16>("closing");
        QTest::addColumn<QList<qint16>>("remaining");
        QTest::addRow("middle page") << qint16(1) << QList<qint16> { 0, 2, 3 };
        QTest::addRow("last page") << qint16(3) << QList<qint16> { 0, 1, 2 };
        QTest::addRow("page 0 is hidden, not destroyed") << qint16(0) << QList<qint16> { 1, 2, 3 };
    }

    void close_selectsTheLastTab()
    {
        QFETCH(qint16, closing);
        QFETCH(QList<qint16>, remaining);
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("T0"));
        for (int i = 1; i <= 3; ++i)
            w.openLoaded(QStringLiteral("http://%1/").arg(i));
        w.tabs->setCurrentIndex(w.pages->TabPos(closing) - 1);
        QCOMPARE(w.pages->curP(), closing);
        w.pages->Command5_Click();
        QCOMPARE(w.pages->pageList(), remaining);
        QCOMPARE(w.pages->curP(), remaining.last());
        QCOMPARE(w.address->text(), w.fake(remaining.last())->location);
        QCOMPARE(w.window.windowTitle(), w.fake(remaining.last())->title);
        QVERIFY(w.dialogs.messages.isEmpty());
        verifyInvariants(w);
    }

    void close_theOnlyPage()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("Zero"));
        w.pages->Command5_Click();
        QCOMPARE(w.pages->pageList(), QList<qint16> { 0 });
        QCOMPARE(w.fake(0)->navigations.last(), kBlank);
        QVERIFY(!w.fake(0)->widget()->isHidden());

        // Page 0 closed behind page 1, then page 1 as the only page: page 0 comes back blank
        // under the same tab, whose caption still shows the closed page's title.
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("Zero"));
        const qint16 one = w.openLoaded(QStringLiteral("http://one/"));
        w.tabs->setCurrentIndex(0);
        w.pages->Command5_Click();
        QCOMPARE(w.pages->pageList(), QList<qint16> { one });
        w.pages->Command5_Click();
        QCOMPARE(w.pages->pageList(), QList<qint16> { 0 });
        QCOMPARE(w.pages->curP(), qint16(0));
        QCOMPARE(w.tabs->count(), 1);
        QCOMPARE(w.tabs->tabText(0), QStringLiteral("http://one/"));
        QVERIFY(!w.fake(0)->widget()->isHidden());
        QVERIFY(w.dialogs.messages.isEmpty());
        verifyInvariants(w);
    }

    void doubleRelease_closesWithin800ms()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("0"));
        const qint16 one = w.openLoaded(QStringLiteral("http://1/"));
        QVERIFY(!w.timer->isActive());
        w.pages->TabStrip1_MouseUp();
        QVERIFY(w.timer->isActive());
        QCOMPARE(w.pages->pageList().size(), 2);
        w.pages->TabStrip1_MouseUp();
        QVERIFY(!w.pages->pageList().contains(one));
        QVERIFY(!w.timer->isActive());

        // A release after the timer has run out only arms it again.
        w.pages->TabStrip1_MouseUp();
        QTRY_VERIFY_WITH_TIMEOUT(!w.timer->isActive(), 2000);
        w.pages->TabStrip1_MouseUp();
        QCOMPARE(w.pages->pageList().size(), 1);
        QVERIFY(w.timer->isActive());
        verifyInvariants(w);
    }

    void titleChange_captionsAndWindowTitle_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("captionLength");
        QTest::addRow("short") << 12 << 12;
        QTest::addRow("exactly 3000") << 3000 << 3000;
        QTest::addRow("3001") << 3001 << 3003;
    }

    void titleChange_captionsAndWindowTitle()
    {
        QFETCH(int, length);
        QFETCH(int, captionLength);
        Window w;
        const QString title(length, QLatin1Char('t'));
        Q_EMIT w.fake(0)->TitleChange(title);
        QCOMPARE(w.tabs->tabText(0).size(), captionLength);
        QCOMPARE(w.tabs->tabText(0).endsWith(QStringLiteral("...")), captionLength != length);
        QCOMPARE(w.window.windowTitle(), title);
    }

    void backgroundPage_touchesOnlyItsOwnTabAndTheStatusBar()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://front/"), QStringLiteral("Front"));
        const qint16 back = w.openLoaded(QStringLiteral("http://back/"));
        w.tabs->setCurrentIndex(0);
        w.address->setText(QStringLiteral("typing"));
        w.fake(back)->finishLoad(QStringLiteral("http://back/2"), QStringLiteral("Back 2"));
        Q_EMIT w.fake(back)->StatusTextChange(QStringLiteral("status from behind"));
        QCOMPARE(w.tabs->tabText(1), QStringLiteral("Back 2"));
        QCOMPARE(w.tabs->tabText(0), QStringLiteral("Front"));
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Front"));
        QCOMPARE(w.address->text(), QStringLiteral("typing"));
        QCOMPARE(w.status->text(), QStringLiteral("status from behind"));
        // The page in front replaces what is being typed when its download completes.
        Q_EMIT w.fake(0)->DownloadComplete();
        QCOMPARE(w.address->text(), QStringLiteral("http://front/"));
    }

    void newWindow_opensAPageFromNewP()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://opener/"), QStringLiteral("Opener"));
        Browser *child = w.fake(0)->openNewWindow();
        QVERIFY(child);
        QCOMPARE(child, w.pages->current());
        QCOMPARE(w.pages->curP(), qint16(1));
        QCOMPARE(w.tabs->tabText(1), QString());
        verifyInvariants(w);
        // With a blank page open, the next window goes into it.
        static_cast<FakeBrowser *>(child)->location = kBlank;
        Browser *again = w.fake(0)->openNewWindow();
        QCOMPARE(again, child);
    }

    void windowClosing_closesTheAskingPageEvenBehindOthers()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("0"));
        const qint16 one = w.openLoaded(QStringLiteral("http://1/"));
        const qint16 two = w.openLoaded(QStringLiteral("http://2/"));
        Q_EMIT w.fake(one)->WindowClosing();
        QCOMPARE(w.pages->pageList(), (QList<qint16> { 0, two }));
        QCOMPARE(w.pages->curP(), two);
        QTRY_COMPARE(FakeBrowser::liveCount, 2); // destroyed after the event returns
        verifyInvariants(w);
    }
};

QTEST_MAIN(tst_PageSet)
#include "tst_pageset.moc"
