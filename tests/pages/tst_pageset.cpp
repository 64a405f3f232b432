#include "fakebrowser.h"
#include "pageset.h"
#include "scripteddialogs.h"

#include <QSet>
#include <QTest>
#include <memory>

namespace {
const QString kBlank = QStringLiteral("about:blank");
}

// The page set on fake browsers, with no widget: what it reports is drawn into a plain record of
// the tab strip, the address box, the status bar and the caption, as the window's binder would.
class tst_PageSet : public QObject
{
    Q_OBJECT

private:
    struct Window
    {
        QStringList tabs { QString() }; // the window starts with one tab
        int currentTab = 0;
        QString caption;
        QString address;
        QString status;
        Browser *shown = nullptr;
        qint64 now = 1000;
        ScriptedDialogs dialogs;
        FakeBrowserFactory browsers;
        std::unique_ptr<PageSet> pages;

        Window()
        {
            pages = std::make_unique<PageSet>(browsers.factory(), dialogs, [this] { return now; });
            shown = pages->front();
            pages->addFirstPage();
            PageSet *p = pages.get();
            connect(p, &PageSet::tabAdded, p, [this] { tabs.append(QString()); });
            connect(p, &PageSet::tabRemoved, p, [this](int position) {
                tabs.removeAt(position - 1);
                currentTab = qMin(currentTab, int(tabs.size()) - 1);
            });
            connect(p, &PageSet::tabRenamed, p,
                [this](int position, const QString &caption) { tabs[position - 1] = caption; });
            connect(p, &PageSet::tabSelected, p, [this](int position) { currentTab = position - 1; });
            connect(p, &PageSet::captionChanged, p, [this](const QString &text) { caption = text; });
            connect(p, &PageSet::addressChanged, p, [this](const QString &text) { address = text; });
            connect(p, &PageSet::statusChanged, p, [this](const QString &text) { status = text; });
            connect(p, &PageSet::pageShown, p, [this](Browser *b) { shown = b; });
            connect(p, &PageSet::pageHidden, p, [this](Browser *b) {
                if (shown == b)
                    shown = nullptr;
            });
        }
        FakeBrowser *fake(qint16 page) const { return static_cast<FakeBrowser *>(pages->browser(page)); }
        // A user's click on a tab: the selection runs when the tab strip's selection changes.
        void clickTab(int index)
        {
            if (index == currentTab)
                return;
            currentTab = index;
            pages->showTab(index + 1);
        }
        // A mouse release on the tab strip, `after` milliseconds after the last one.
        void release(qint64 after)
        {
            now += after;
            pages->tabReleased(currentTab + 1);
        }
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
        QCOMPARE(list.size(), w.tabs.size());
        QCOMPARE(QSet<qint16>(list.begin(), list.end()).size(), list.size());
        for (qint16 page : list)
            QVERIFY2(w.pages->browser(page), "every listed page has a browser");
        if (!list.contains(0)) {
            QVERIFY(w.pages->browser(0));
            QVERIFY(!w.fake(0)->inFrontNow);
            QCOMPARE(w.fake(0)->navigations.last(), kBlank);
        }
        QCOMPARE(w.pages->curP(), list.at(w.currentTab));
        QCOMPARE(w.shown, w.pages->current());
        // Only the page in front is shown to the engine.
        for (qint16 page : list)
            QCOMPARE(w.fake(page)->inFrontNow, page == w.pages->curP());
        // Nothing here needed a widget.
        QVERIFY(!w.fake(0)->hasWidget());
        for (qint16 page : list)
            QVERIFY(!w.fake(page)->hasWidget());
    }

private Q_SLOTS:
    void heldWhileNoControls_theLastOfEachIsToldOnRelease()
    {
        // A page sent ahead may finish loading before the window's controls exist.
        Window w;
        w.pages->holdShown();
        Q_EMIT w.fake(0)->statusTextChanged(QStringLiteral("正在打开网页 about:blank..."));
        w.fake(0)->finishLoad(QStringLiteral("about:blank"), QStringLiteral("first"));
        w.fake(0)->finishLoad(QStringLiteral("about:blank"), QStringLiteral("about:blank"));
        Q_EMIT w.fake(0)->statusTextChanged(QStringLiteral("完成"));
        QCOMPARE(w.address, QString());
        QCOMPARE(w.tabs, QStringList { QString() });
        w.pages->releaseShown();
        QCOMPARE(w.address, QStringLiteral("about:blank"));
        QCOMPARE(w.caption, QStringLiteral("about:blank"));
        QCOMPARE(w.tabs, QStringList { QStringLiteral("about:blank") });
        QCOMPARE(w.status, QStringLiteral("完成"));
        // Told at once again.
        Q_EMIT w.fake(0)->statusTextChanged(QStringLiteral("later"));
        QCOMPARE(w.status, QStringLiteral("later"));
    }

    void newP_reusesFirstBlankPageInTabOrder()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://a/"), QStringLiteral("A"));
        w.openLoaded(QStringLiteral("http://b/"));
        w.pages->NewP(); // page 2, never navigated: not blank
        w.fake(1)->location = QStringLiteral("About:Blank");
        w.pages->NewP();
        QCOMPARE(w.pages->curP(), qint16(1));
        QCOMPARE(w.currentTab, 1);
        QCOMPARE(w.browsers.made.size(), 3);
        verifyInvariants(w);

        // Pages 1 and 2 both blank: the first in tab order is taken.
        w.clickTab(0);
        w.fake(2)->location = kBlank;
        w.pages->NewP();
        QCOMPARE(w.pages->curP(), qint16(1));
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
            w.pages->closeCurrent();
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
        w.clickTab(w.pages->TabPos(closing) - 1);
        QCOMPARE(w.pages->curP(), closing);
        w.pages->closeCurrent();
        QCOMPARE(w.pages->pageList(), remaining);
        QCOMPARE(w.pages->curP(), remaining.last());
        QCOMPARE(w.address, w.fake(remaining.last())->location);
        QCOMPARE(w.caption, w.fake(remaining.last())->title);
        QVERIFY(w.dialogs.messages.isEmpty());
        verifyInvariants(w);
    }

    void close_theOnlyPage()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("Zero"));
        w.pages->closeCurrent();
        QCOMPARE(w.pages->pageList(), QList<qint16> { 0 });
        QCOMPARE(w.fake(0)->navigations.last(), kBlank);
        QCOMPARE(w.shown, w.fake(0));

        // Page 0 closed behind page 1, then page 1 as the only page: page 0 comes back blank
        // under the same tab, whose caption still shows the closed page's title.
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("Zero"));
        const qint16 one = w.openLoaded(QStringLiteral("http://one/"));
        w.clickTab(0);
        w.pages->closeCurrent();
        QCOMPARE(w.pages->pageList(), QList<qint16> { one });
        w.pages->closeCurrent();
        QCOMPARE(w.pages->pageList(), QList<qint16> { 0 });
        QCOMPARE(w.pages->curP(), qint16(0));
        QCOMPARE(int(w.tabs.size()), 1);
        QCOMPARE(w.tabs.at(0), QStringLiteral("http://one/"));
        QCOMPARE(w.shown, w.fake(0));
        QVERIFY(w.dialogs.messages.isEmpty());
        verifyInvariants(w);
    }

    void doubleRelease_closesThePageInFront_data()
    {
        QTest::addColumn<qint64>("apart");
        QTest::addColumn<bool>("closes");
        QTest::addRow("650 ms apart") << qint64(650) << true;
        QTest::addRow("799 ms apart") << qint64(799) << true;
        QTest::addRow("800 ms apart") << qint64(800) << false;
        QTest::addRow("two seconds apart") << qint64(2000) << false;
    }

    // The window's own double-release rule, on the page set's clock.
    void doubleRelease_closesThePageInFront()
    {
        QFETCH(qint64, apart);
        QFETCH(bool, closes);
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("0"));
        const qint16 one = w.openLoaded(QStringLiteral("http://1/"));
        w.release(5000);
        QCOMPARE(w.pages->pageList().size(), 2);
        w.release(apart);
        QCOMPARE(!w.pages->pageList().contains(one), closes);
        verifyInvariants(w);
        if (!closes)
            return;
        // A release right after the close only arms the rule again; the next one closes.
        w.release(0);
        QCOMPARE(w.pages->pageList().size(), 1);
        w.release(1);
        QCOMPARE(w.pages->pageList(), QList<qint16> { 0 });
        QCOMPARE(w.fake(0)->navigations.last(), kBlank);
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
        Q_EMIT w.fake(0)->titleChanged(title);
        QCOMPARE(w.tabs.at(0).size(), captionLength);
        QCOMPARE(w.tabs.at(0).endsWith(QStringLiteral("...")), captionLength != length);
        QCOMPARE(w.caption, title);
    }

    void backgroundPage_touchesOnlyItsOwnTabAndTheStatusBar()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://front/"), QStringLiteral("Front"));
        const qint16 back = w.openLoaded(QStringLiteral("http://back/"));
        w.clickTab(0);
        w.address = QStringLiteral("typing");
        w.fake(back)->finishLoad(QStringLiteral("http://back/2"), QStringLiteral("Back 2"));
        Q_EMIT w.fake(back)->statusTextChanged(QStringLiteral("status from behind"));
        QCOMPARE(w.tabs.at(1), QStringLiteral("Back 2"));
        QCOMPARE(w.tabs.at(0), QStringLiteral("Front"));
        QCOMPARE(w.caption, QStringLiteral("Front"));
        QCOMPARE(w.address, QStringLiteral("typing"));
        QCOMPARE(w.status, QStringLiteral("status from behind"));
        // The page in front replaces what is being typed when its download completes.
        Q_EMIT w.fake(0)->loadFinished();
        QCOMPARE(w.address, QStringLiteral("http://front/"));
    }

    void newWindow_opensAPageFromNewP()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://opener/"), QStringLiteral("Opener"));
        Browser *child = w.fake(0)->openNewWindow();
        QVERIFY(child);
        QCOMPARE(child, w.pages->current());
        QCOMPARE(w.pages->curP(), qint16(1));
        QCOMPARE(w.tabs.at(1), QString());
        verifyInvariants(w);
        // A blank page that a page opened is not reused: its opener still holds it.
        static_cast<FakeBrowser *>(child)->location = kBlank;
        Browser *again = w.fake(0)->openNewWindow();
        QVERIFY(again != child);
        QCOMPARE(w.pages->curP(), qint16(2));
        verifyInvariants(w);
    }

    void newP_neverReusesAPageThatAPageOpened()
    {
        Window w;
        // Page 0 is blank and takes the window page 1 asks for.
        const qint16 one = w.openLoaded(QStringLiteral("http://opener/"));
        w.fake(0)->location = kBlank;
        QCOMPARE(w.fake(one)->openNewWindow(), w.fake(0));
        // The user's next page is a new one, however blank page 0 still is.
        w.pages->NewP();
        QCOMPARE(w.pages->curP(), qint16(2));
        verifyInvariants(w);
        // Closed, page 0 starts over and is the program's own blank page again.
        w.clickTab(0);
        w.pages->closeCurrent();
        QCOMPARE(w.fake(0)->startOvers, 1);
        w.pages->NewP();
        QCOMPARE(w.pages->curP(), qint16(0));
        QCOMPARE(w.browsers.made.size(), 3);
        verifyInvariants(w);
    }

    void windowClosing_closesTheAskingPageEvenBehindOthers()
    {
        Window w;
        w.fake(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("0"));
        const qint16 one = w.openLoaded(QStringLiteral("http://1/"));
        const qint16 two = w.openLoaded(QStringLiteral("http://2/"));
        Q_EMIT w.fake(one)->closeRequested();
        QCOMPARE(w.pages->pageList(), (QList<qint16> { 0, two }));
        QCOMPARE(w.pages->curP(), two);
        QTRY_COMPARE(FakeBrowser::liveCount, 2); // destroyed after the event returns
        verifyInvariants(w);
    }
};

// No QApplication: a widget made anywhere in the page set would end the test.
QTEST_GUILESS_MAIN(tst_PageSet)
#include "tst_pageset.moc"
