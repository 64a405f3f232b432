#include "enginewindow.h"
#include "form1.h"
#include "loopbackserver.h"
#include "pageset.h"
#include "scripteddialogs.h"
#include "webbrowser.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

// The main window on the real engine, with local pages only.
class tst_Engine : public QObject
{
    Q_OBJECT

private:
    using Fixture = EngineWindow;

    static QByteArray page(const QByteArray &title, const QByteArray &body = QByteArray())
    {
        return EngineWindow::page(title, body);
    }

private Q_SLOTS:
    void startsAtTheArgument()
    {
        Fixture f;
        f.server.serve("/x", page("X"));
        QVERIFY(f.form->Form_Load(f.server.url("/x")));
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requested("/x"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("X"), 20000);
        QTRY_COMPARE(f.Text1()->text(), f.server.url("/x"));
        QTRY_COMPARE(f.status(), QStringLiteral("完成"));
    }

    void newWindows_becomeTabs_data()
    {
        QTest::addColumn<QByteArray>("opener");
        QTest::addColumn<bool>("keepsOpener"); // target=_blank links open without an opener
        QTest::addRow("target _blank")
            << QByteArray("<a id=a href='/child' target=_blank>child</a>"
                          "<script>onload=()=>document.getElementById('a').click()</script>")
            << false;
        QTest::addRow("window.open") << QByteArray("<script>onload=()=>window.open('/child')</script>")
                                     << true;
    }

    void newWindows_becomeTabs()
    {
        QFETCH(QByteArray, opener);
        QFETCH(bool, keepsOpener);
        Fixture f;
        f.server.serve("/opener", page("Opener", opener));
        f.server.serve("/child", page("Child page"));
        QVERIFY(f.form->Form_Load(f.server.url("/opener")));
        QTRY_COMPARE_WITH_TIMEOUT(f.pages().pageList().size(), 2, 20000);
        QCOMPARE(f.pages().curP(), qint16(1));
        QTRY_COMPARE_WITH_TIMEOUT(f.tabs()->tabText(1), QStringLiteral("Child page"), 20000);
        QTRY_COMPARE(f.form->windowTitle(), QStringLiteral("Child page"));
        QTRY_COMPARE(f.tabs()->tabText(0), QStringLiteral("Opener"));
        QVERIFY(f.server.requested("/child"));
        // The child was loaded into the page we handed the engine, so the opener relationship holds.
        QVariant hasOpener;
        f.web(1)->view()->page()->runJavaScript(
            QStringLiteral("!!window.opener"), [&](const QVariant &v) { hasOpener = v; });
        QTRY_VERIFY(hasOpener.isValid());
        QCOMPARE(hasOpener.toBool(), keepsOpener);
    }

    void windowClose_closesItsTab()
    {
        Fixture f;
        f.server.serve("/opener", page("Opener", "<script>onload=()=>window.open('/closer')</script>"));
        f.server.serve("/closer", page("Closer", "<script>setTimeout(()=>window.close(), 300)</script>"));
        QVERIFY(f.form->Form_Load(f.server.url("/opener")));
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requested("/closer"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(f.pages().pageList(), QList<qint16> { 0 }, 20000);
        QCOMPARE(f.tabs()->count(), 1);
        QCOMPARE(f.pages().curP(), qint16(0));
        QTRY_VERIFY(!f.pages().browser(1));
    }

    void longTitle_isCutOnTheTabOnly()
    {
        Fixture f;
        const QByteArray title(3001, 'T');
        f.server.serve("/long", page(title));
        QVERIFY(f.form->Form_Load(f.server.url("/long")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle().size(), 3001, 20000);
        QCOMPARE(f.tabs()->tabText(0), QString(3000, QLatin1Char('T')) + QStringLiteral("..."));
        // Drawn elided: one tab never grows wider than the window.
        QVERIFY(f.tabs()->tabRect(0).width() < f.form->width());
    }

    void backgroundTitle_renamesOnlyItsTab()
    {
        Fixture f;
        f.server.serve("/front", page("Front"));
        f.server.serve(
            "/back", page("Back", "<script>setTimeout(()=>document.title='Renamed', 1500)</script>"));
        QVERIFY(f.form->Form_Load(f.server.url("/back")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Back"), 20000);
        f.form->Toolbar1_ButtonClick(3);
        f.form->Command3_Click();
        f.Text1()->setText(f.server.url("/front"));
        f.form->Command3_Click();
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Front"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(f.tabs()->tabText(0), QStringLiteral("Renamed"), 20000);
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Front"));
        QCOMPARE(f.tabs()->tabText(1), QStringLiteral("Front"));
    }

    void backgroundPage_isFrozenAndWokenWhenItComesBack()
    {
        WebBrowser::freezeAfterMs = 300;
        Fixture f;
        f.server.serve("/a", page("A"));
        f.server.serve("/b", page("B"));
        QVERIFY(f.form->Form_Load(f.server.url("/a")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("A"), 20000);
        f.Text1()->setText(f.server.url("/b"));
        f.form->openfile(f.server.url("/b"), false);
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("B"), 20000);
        QWebEnginePage *behind = f.web(0)->view()->page();
        QTRY_COMPARE_WITH_TIMEOUT(behind->lifecycleState(), QWebEnginePage::LifecycleState::Frozen, 10000);
        f.tabs()->setCurrentIndex(0);
        QCOMPARE(behind->lifecycleState(), QWebEnginePage::LifecycleState::Active);
        QCOMPARE(f.tabs()->tabText(0), QStringLiteral("A"));
        WebBrowser::freezeAfterMs = 60 * 1000;
    }

    void hoveredLink_showsInTheStatusBar()
    {
        Fixture f;
        f.server.serve(
            "/links", page("Links", "<a href='/target' style='display:block;width:100%;height:400px'>x</a>"));
        QVERIFY(f.form->Form_Load(f.server.url("/links")));
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), QStringLiteral("完成"), 20000);
        QWidget *surface = f.web(0)->view()->focusProxy();
        QVERIFY(surface);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QTest::mouseMove(surface, QPoint(50, 50));
                QTest::mouseMove(surface, QPoint(60, 60));
                return f.status() == f.server.url("/target");
            }(),
            20000);
    }

    void enterAndSearch_reachTheServer()
    {
        Fixture f;
        QFile engines(f.folder.filePath(QStringLiteral("搜索.txt")));
        QVERIFY(engines.open(QIODevice::WriteOnly));
        engines.write("本地 TheHead: " + f.server.url("/s?q=").toUtf8() + "\r\n");
        engines.close();
        f.server.serve("/a.html", page("A"));
        f.server.serve("/s", page("Results"));
        QVERIFY(f.form->Form_Load(QString()));
        f.Text1()->setText(f.server.url("/a.html").mid(7));
        QTest::keyClick(f.Text1(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requested("/a.html"), 20000);
        f.Text1()->setText(QStringLiteral("你好 world"));
        QTest::keyClick(f.Text1(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requested("/s?q=%E4%BD%A0%E5%A5%BD%20world"), 20000);
        QCOMPARE(f.pages().pageList().size(), 1);
    }
};

int main(int argc, char **argv)
{
    tst_Engine test;
    return runEngineTest(test, argc, argv);
}

#include "tst_engine.moc"
