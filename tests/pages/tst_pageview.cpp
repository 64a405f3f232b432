#include "enginewindow.h"
#include "form1.h"
#include "loopbackserver.h"
#include "pageset.h"
#include "scripteddialogs.h"
#include "webbrowser.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

namespace {

QByteArray page(const QByteArray &title, const QByteArray &body = QByteArray())
{
    return "<!doctype html><html><head><meta charset=utf-8><title>" + title + "</title></head><body>" + body
        + "</body></html>";
}

} // namespace

// What the page's view offers a user: full screen, and links opened from its context menu.
class tst_PageView : public QObject
{
    Q_OBJECT

private:
    struct Fixture : EngineWindow
    {
        // Loads a page and waits until it takes input.
        void load(const QByteArray &path, const QByteArray &title)
        {
            QVERIFY(form->Form_Load(server.url(path)));
            QTRY_COMPARE_WITH_TIMEOUT(form->windowTitle(), QString::fromUtf8(title), 20000);
            QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("完成"), 20000);
            QTRY_VERIFY(front()->view()->focusProxy());
        }
    };

private Q_SLOTS:
    void fullScreen_showsThePageAndEscLeaves()
    {
        Fixture f;
        f.server.serve("/video",
            page("Video",
                "<button id=b style='width:100%;height:400px' "
                "onclick='document.body.requestFullscreen()'>go</button>"
                "<script>document.onfullscreenchange=()=>"
                "document.title=document.fullscreenElement?'full':'normal'</script>"));
        f.load("/video", "Video");
        QWebEngineView *view = f.front()->view();
        QWebEnginePage *shown = view->page();
        // A click is the user's gesture the engine wants before full screen.
        // The first click may come before the page takes input; click until it goes full screen.
        for (int i = 0; i < 20 && f.form->windowTitle() != QStringLiteral("full"); ++i) {
            QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(50, 50));
            if (QTest::qWaitFor([&] { return f.form->windowTitle() == QStringLiteral("full"); }, 1000))
                break;
        }
        QCOMPARE(f.form->windowTitle(), QStringLiteral("full"));
        QWidget *full = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QStringLiteral("FullScreenWindow") && w->isVisible())
                full = w;
        }
        QVERIFY(full);
        QVERIFY(full->isFullScreen());
        full->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(full));
        QTest::keyClick(full, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("normal"), 20000);
        QCOMPARE(view->page(), shown);
        QTRY_VERIFY(!QApplication::topLevelWidgets().contains(full));
    }

    void contextMenuLinks_openInANewTab_data()
    {
        QTest::addColumn<int>("action");
        QTest::addRow("new tab") << int(QWebEnginePage::OpenLinkInNewTab);
        QTest::addRow("new window") << int(QWebEnginePage::OpenLinkInNewWindow);
    }

    void contextMenuLinks_openInANewTab()
    {
        QFETCH(int, action);
        Fixture f;
        f.server.serve(
            "/links", page("Links", "<a href='/child' style='display:block;height:400px'>child</a>"));
        f.server.serve("/child", page("Child"));
        f.load("/links", "Links");
        QWebEngineView *view = f.front()->view();
        // The link under the mouse at the last right click is the one opened.
        for (int i = 0; i < 20 && !view->lastContextMenuRequest(); ++i) {
            QTest::mouseClick(view->focusProxy(), Qt::RightButton, {}, QPoint(50, 50));
            if (QTest::qWaitFor([&] { return view->lastContextMenuRequest() != nullptr; }, 1000))
                break;
        }
        QVERIFY(view->lastContextMenuRequest());
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->inherits("QMenu"))
                w->close();
        }
        view->page()->triggerAction(QWebEnginePage::WebAction(action));
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requested("/child"), 20000);
        QCOMPARE(f.pages().pageList().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Child"), 20000);
    }
};

int main(int argc, char **argv)
{
    tst_PageView test;
    return runEngineTest(test, argc, argv);
}

#include "tst_pageview.moc"
