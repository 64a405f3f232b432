#include "enginewindow.h"
#include "form1.h"
#include "loopbackserver.h"
#include "pageset.h"
#include "scripteddialogs.h"
#include "webbrowser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

// Pages that abuse the browser, on the real engine with local pages only. After each the window
// still answers and the page set keeps its rules: one tab per page, the front page in the list.
class tst_PageAbuse final : public QObject
{
    Q_OBJECT

private:
    struct Fixture : EngineWindow
    {
        QTimer ticker;
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;

        Fixture()
        {
            sinceTick.start();
            QObject::connect(
                &ticker, &QTimer::timeout, [this] { longestGap = qMax(longestGap, sinceTick.restart()); });
            ticker.start(20);
        }

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
        f.server.serve("/flood",
            page("Flood", "<script>onload=()=>{for(let i=0;i<200;++i)window.open('/child')}</script>"));
        f.server.serve("/child", page("Child"));
        QVERIFY(f.form->Form_Load(f.server.url("/flood")));
        QTRY_COMPARE_WITH_TIMEOUT(f.pages().pageList().size(), 201, 120000);
        f.checkInvariants();
        // Closing them all from the front leaves the opener.
        for (int i = 0; i < 200; ++i)
            f.pages().Command5_Click();
        QTest::qWait(200);
        QCOMPARE(f.pages().pageList(), QList<qint16> { 0 });
        f.checkInvariants();
        QVERIFY2(f.longestGap < 5000, qPrintable(QString::number(f.longestGap)));
    }

    void closesItselfDuringLoad()
    {
        Fixture f;
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

    void tenMegabyteTitle()
    {
        Fixture f;
        f.server.serve("/title", page("T", "<script>document.title='\\u4e2d'.repeat(10*1024*1024)</script>"));
        QVERIFY(f.form->Form_Load(f.server.url("/title")));
        QTRY_VERIFY_WITH_TIMEOUT(f.form->windowTitle().size() > 100, 30000);
        QVERIFY(f.tabs()->tabText(0).size() <= PageSet::captionLimit + 3);
        QVERIFY(f.tabs()->tabRect(0).width() < f.form->width());
        f.checkInvariants();
        QVERIFY2(f.longestGap < 5000, qPrintable(QString::number(f.longestGap)));
    }
};

int main(int argc, char **argv)
{
    tst_PageAbuse test;
    return runEngineTest(test, argc, argv);
}

#include "tst_pageabuse.moc"
