#include "enginewindow.h"
#include "form1.h"
#include "history.h"
#include "loopbackserver.h"
#include "pageset.h"
#include "popuppolicy.h"
#include "scripteddialogs.h"
#include "webbrowser.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTcpServer>
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
    void gpuSwitchedOff_onlyByTheWholeSwitch_data()
    {
        QTest::addColumn<QString>("engineSwitches");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("off");
        QTest::addRow("nothing") << QString() << QStringList() << false;
        QTest::addRow("engine switch") << QStringLiteral("--disable-gpu") << QStringList() << true;
        QTest::addRow("among others")
            << QStringLiteral("--lang=zh-CN  --disable-gpu --no-sandbox") << QStringList() << true;
        QTest::addRow("on the command line")
            << QString() << QStringList { QStringLiteral("http://a/"), QStringLiteral("--disable-gpu") }
            << true;
        QTest::addRow("a longer switch")
            << QStringLiteral("--disable-gpu-compositing") << QStringList() << false;
        QTest::addRow("inside an address")
            << QString() << QStringList { QStringLiteral("http://a/?--disable-gpu") } << false;
    }

    void gpuSwitchedOff_onlyByTheWholeSwitch()
    {
        QFETCH(QString, engineSwitches);
        QFETCH(QStringList, arguments);
        QFETCH(bool, off);
        QCOMPARE(WebBrowser::gpuSwitchedOff(engineSwitches, arguments), off);
    }

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
        // Opened without a click: the user allowed the site's popups.
        PopupPolicy::instance().allow(f.server.url(""));
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
        PopupPolicy::instance().allow(f.server.url(""));
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
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
        f.form->goToAddress();
        f.Text1()->setText(f.server.url("/front"));
        f.form->goToAddress();
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Front"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(f.tabs()->tabText(0), QStringLiteral("Renamed"), 20000);
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Front"));
        QCOMPARE(f.tabs()->tabText(1), QStringLiteral("Front"));
    }

    void backgroundPage_keepsRunningItsScripts()
    {
        // A mail page that counts unread messages in its title.
        Fixture f;
        f.server.serve("/count", QByteArray("0"));
        f.server.serve("/mail",
            page("Mail",
                "<script>async function poll() { const r = await fetch('/count');"
                " document.title = '(' + await r.text() + ') Mail'; setTimeout(poll, 200); }"
                " poll();</script>"));
        f.server.serve("/b", page("B"));
        QVERIFY(f.form->Form_Load(f.server.url("/mail")));
        QTRY_COMPARE_WITH_TIMEOUT(f.tabs()->tabText(0), QStringLiteral("(0) Mail"), 20000);
        f.form->openfile(f.server.url("/b"), OpenIn::NewPage);
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("B"), 20000);
        QWebEnginePage *behind = f.web(0)->view()->page();
        // Hidden, and in the state in which the engine would let it be frozen.
        QTRY_VERIFY_WITH_TIMEOUT(behind->recommendedState() != QWebEnginePage::LifecycleState::Active, 10000);
        const qsizetype polls = f.server.requests.count("/count");
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requests.count("/count") >= polls + 3, 20000);
        f.server.serve("/count", QByteArray("3"));
        QTRY_COMPARE_WITH_TIMEOUT(f.tabs()->tabText(0), QStringLiteral("(3) Mail"), 20000);
        QCOMPARE(f.form->windowTitle(), QStringLiteral("B"));
        QCOMPARE(f.tabs()->tabText(1), QStringLiteral("B"));
    }

    void textThatMakesNoAddress_showsAnErrorPageInThePage_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pages");
        QTest::addRow("first start with a b") << QStringLiteral("start") << QStringLiteral("a b") << 1;
        QTest::addRow("Enter on ..") << QStringLiteral("enter") << QStringLiteral("..") << 1;
        QTest::addRow("Enter on a sentence") << QStringLiteral("enter") << QStringLiteral("Hi. There.") << 1;
        QTest::addRow("go on http://a b") << QStringLiteral("go") << QStringLiteral("http://a b") << 1;
        QTest::addRow("hand-off of a b") << QStringLiteral("handoff") << QStringLiteral("a b") << 2;
        QTest::addRow("hand-off with markup")
            << QStringLiteral("handoff") << QStringLiteral("<b>x</b> y.z.w") << 2;
    }

    void textThatMakesNoAddress_showsAnErrorPageInThePage()
    {
        QFETCH(QString, how);
        QFETCH(QString, text);
        QFETCH(int, pages);
        Fixture f;
        f.server.serve("/a", page("A"));
        if (how == QStringLiteral("start")) {
            QVERIFY(f.form->Form_Load(text));
        } else {
            QVERIFY(f.form->Form_Load(f.server.url("/a")));
            QTRY_COMPARE_WITH_TIMEOUT(f.Text1()->text(), f.server.url("/a"), 20000);
            if (how == QStringLiteral("handoff")) {
                QVERIFY(f.form->Form_LinkExecute(text));
            } else {
                f.Text1()->setText(text);
                if (how == QStringLiteral("enter"))
                    QTest::keyClick(f.Text1(), Qt::Key_Return);
                else
                    f.form->goToAddress();
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("无法打开网页"), 20000);
        QCOMPARE(f.pages().pageList().size(), pages);
        QCOMPARE(f.tabs()->tabText(f.tabs()->currentIndex()), QStringLiteral("无法打开网页"));
        // The user's own text stays in the box, to be mended.
        QTRY_COMPARE(f.Text1()->text(), text);
        QVERIFY2(f.dialogs.messages.isEmpty(), qPrintable(f.dialogs.messages.join(QLatin1Char('\n'))));
        QString shown;
        f.front()->view()->page()->toPlainText([&](const QString &plain) { shown = plain; });
        QTRY_VERIFY(!shown.isEmpty());
        QVERIFY2(shown.contains(QStringLiteral("“") + text + QStringLiteral("”")), qPrintable(shown));
        if (how == QStringLiteral("enter") || how == QStringLiteral("go")) {
            // The page before it is one step back.
            f.form->runToolbarCommand(ToolbarCommand::Back);
            QTRY_COMPARE_WITH_TIMEOUT(f.Text1()->text(), f.server.url("/a"), 20000);
        }
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

    void enterAndSearch_reachTheServer_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QByteArray>("request"); // what the engine's server is asked
        QTest::addRow("chinese and a space")
            << QStringLiteral("你好 world") << QByteArray("/s?q=%E4%BD%A0%E5%A5%BD%20world");
        QTest::addRow("plus signs") << QStringLiteral("C++") << QByteArray("/s?q=C%2B%2B");
        QTest::addRow("ampersand and hash") << QStringLiteral("a&b#c") << QByteArray("/s?q=a%26b%23c");
        QTest::addRow("percent sign") << QStringLiteral("100%") << QByteArray("/s?q=100%25");
    }

    void finishedPages_goToHistory_errorPagesDoNot()
    {
        Fixture f;
        f.server.serve("/x", page("百度一下"));
        f.server.serve("/y", page("Y"));
        // A port nobody listens on: the engine shows its error page.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString refused = QStringLiteral("http://127.0.0.1:%1/gone").arg(closed.serverPort());
        closed.close();
        QVERIFY(f.form->Form_Load(f.server.url("/x")));
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), QStringLiteral("完成"), 20000);
        f.form->openfile(refused, OpenIn::FrontPage);
        QTRY_VERIFY_WITH_TIMEOUT(f.status().startsWith(QStringLiteral("无法打开网页")), 20000);
        f.form->openfile(f.server.url("/y"), OpenIn::FrontPage);
        const auto recorded = [&f] {
            QStringList lines;
            for (const PageEntry &p : f.form->history().pages())
                lines.append(p.address + QLatin1Char(' ') + p.title);
            lines.sort();
            return lines;
        };
        // /y is recorded after the error page would have been.
        QTRY_COMPARE_WITH_TIMEOUT(recorded(),
            (QStringList { f.server.url("/x") + QStringLiteral(" 百度一下"),
                f.server.url("/y") + QStringLiteral(" Y") }),
            20000);
    }

    void enterAndSearch_reachTheServer()
    {
        QFETCH(QString, words);
        QFETCH(QByteArray, request);
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
        f.Text1()->setText(words);
        QTest::keyClick(f.Text1(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(
            f.server.requests.size() > 1 && f.server.requests.last().startsWith("/s"), 20000);
        QCOMPARE(f.server.requests.last(), request);
        QCOMPARE(f.pages().pageList().size(), 1);
    }
};

int main(int argc, char **argv)
{
    tst_Engine test;
    return runEngineTest(test, argc, argv);
}

#include "tst_engine.moc"
