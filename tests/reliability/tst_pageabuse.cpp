#include "enginewindow.h"
#include "form1.h"
#include "loopbackserver.h"
#include "pageset.h"
#include "popuppolicy.h"
#include "scripteddialogs.h"
#include "webbrowser.h"

#include <QApplication>
#include <QSet>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineHistory>
#include <QWebEngineView>
#include <memory>

// Pages that abuse the browser, on the real engine with local pages only. After each the window
// still answers (its event loop ran the waits to their end) and the page set keeps its rules: one
// tab per page, the front page in the list.
class tst_PageAbuse final : public QObject
{
    Q_OBJECT

private:
    struct Fixture : EngineWindow
    {
        void checkInvariants()
        {
            const QList<qint16> &list = pages().pageList();
            QCOMPARE(tabs()->count(), list.size());
            QVERIFY(list.contains(pages().curP()));
            for (const qint16 page : list)
                QVERIFY(pages().browser(page));
            QCOMPARE(QSet<qint16>(list.cbegin(), list.cend()).size(), list.size());
        }
    };

    static QByteArray page(const QByteArray &title, const QByteArray &body = QByteArray())
    {
        return EngineWindow::page(title, body);
    }

private Q_SLOTS:
    void twoHundredWindows()
    {
        Fixture f;
        // The user allowed the site's popups; the page set must still cope with 200 at once.
        PopupPolicy::instance().allow(f.server.url(""));
        f.server.serve("/flood",
            page("Flood", "<script>onload=()=>{for(let i=0;i<200;++i)window.open('/child')}</script>"));
        f.server.serve("/child", page("Child"));
        QVERIFY(f.form->Form_Load(f.server.url("/flood")));
        QTRY_COMPARE_WITH_TIMEOUT(f.pages().pageList().size(), 201, 120000);
        f.checkInvariants();
        // Closing them all from the front leaves the opener.
        for (int i = 0; i < 200; ++i)
            f.pages().closeCurrent();
        QTest::qWait(200);
        QCOMPARE(f.pages().pageList(), QList<qint16> { 0 });
        f.checkInvariants();
    }

    void closesItselfDuringLoad()
    {
        Fixture f;
        PopupPolicy::instance().allow(f.server.url(""));
        f.server.serve("/opener",
            page("Opener", "<script>onload=()=>{for(let i=0;i<20;++i)window.open('/closer')}</script>"));
        // window.close() before the page has finished loading, from the head.
        f.server.serve("/closer",
            "<!doctype html><html><head><script>window.close()</script><title>C</title></head>"
            "<body><img src='/slow.png'></body></html>");
        QVERIFY(f.form->Form_Load(f.server.url("/opener")));
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requested("/closer"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(f.pages().pageList(), QList<qint16> { 0 }, 60000);
        f.checkInvariants();
        QCOMPARE(f.pages().curP(), qint16(0));
    }

    // A page that opened a blank window keeps no hold on the page the user opens next.
    void openedBlankWindow_isNotReusedForTheUsersAddress()
    {
        Fixture f;
        f.server.serve("/opener",
            page("Opener",
                "<div style='position:fixed;inset:0'></div>"
                "<script>onclick=()=>{window.w=window.open('about:blank');document.title='opened'}</"
                "script>"));
        f.server.serve(
            "/target", page("T", "<script>document.title='opener '+(window.opener===null)</script>"));
        QVERIFY(f.form->Form_Load(f.server.url("/opener")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Opener"), 20000);
        QWidget *input = f.front()->view()->focusProxy();
        for (int i = 0; i < 20 && f.pages().pageList().size() < 2; ++i) {
            QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(50, 50));
            if (QTest::qWaitFor([&] { return f.pages().pageList().size() == 2; }, 1000))
                break;
        }
        QCOMPARE(f.pages().pageList().size(), 2);
        const qint16 popup = f.pages().curP();
        QTRY_COMPARE_WITH_TIMEOUT(f.web(popup)->LocationURL(), QStringLiteral("about:blank"), 20000);
        QVERIFY(f.form->Form_LinkExecute(f.server.url("/target")));
        QTRY_COMPARE_WITH_TIMEOUT(f.pages().pageList().size(), 3, 20000);
        QVERIFY(f.pages().curP() != popup);
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("opener true"), 20000);
        f.checkInvariants();
    }

    // Page 0, closed and reused, cannot go back into the pages it showed before.
    void closedPageZero_startsWithoutHistory()
    {
        Fixture f;
        f.server.serve("/a", page("A"));
        f.server.serve("/b", page("B"));
        f.server.serve("/c", page("C"));
        QVERIFY(f.form->Form_Load(f.server.url("/a")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("A"), 20000);
        f.web(0)->Navigate(f.server.url("/b"));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("B"), 20000);
        f.pages().NewP();
        f.tabs()->setCurrentIndex(0);
        QCOMPARE(f.pages().curP(), qint16(0));
        f.pages().closeCurrent();
        QCOMPARE(f.pages().pageList(), QList<qint16> { 1 });
        f.pages().NewP();
        QCOMPARE(f.pages().curP(), qint16(0));
        f.web(0)->Navigate(f.server.url("/c"));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("C"), 20000);
        QVERIFY(!f.web(0)->view()->history()->canGoBack());
        f.checkInvariants();
    }

    void tenMegabyteTitle()
    {
        Fixture f;
        f.server.serve("/title", page("T", "<script>document.title='\\u4e2d'.repeat(10*1024*1024)</script>"));
        QVERIFY(f.form->Form_Load(f.server.url("/title")));
        QTRY_VERIFY_WITH_TIMEOUT(f.form->windowTitle().size() > 100, 30000);
        QVERIFY(f.tabs()->tabText(0).size() <= PageSet::captionLimit + 3);
        QVERIFY(f.tabs()->tabRect(0).width() < f.form->width());
        f.checkInvariants();
    }
};

int main(int argc, char **argv)
{
    tst_PageAbuse test;
    return runEngineTest(test, argc, argv);
}

#include "tst_pageabuse.moc"
