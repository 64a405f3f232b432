#include "asker.h"
#include "enginewindow.h"
#include "favoritesstore.h"
#include "form1.h"
#include "loopbackserver.h"
#include "pageset.h"
#include "permissionasker.h"
#include "popuppolicy.h"
#include "screenasker.h"
#include "scripteddialogs.h"
#include "webbrowser.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabBar>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVersionNumber>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <memory>

namespace {

QByteArray page(const QByteArray &title, const QByteArray &body = QByteArray())
{
    return EngineWindow::page(title, body);
}

// Tells the server once that the page has seen the mouse (see Fixture::takesInput).
const QByteArray seesMouse = " onmousemove=\"if(!window.m){window.m=1;fetch('/moved')}\"";

// A block that covers the page, so a click anywhere lands on it.
QByteArray clickable(const QByteArray &onclick)
{
    return "<div id=c style='position:fixed;left:0;top:0;width:100%;height:100%'" + seesMouse + " onclick=\""
        + onclick + "\">click</div>";
}

// The whole home folder of the run; the downloads folder is inside it.
QString home()
{
    return QDir::homePath();
}

QString downloads()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

// Every file under a folder, with its size, to prove nothing else was written.
QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// One page behind HTTP basic authentication with a realm of the server's choosing.
class LoginServer final : public QTcpServer
{
public:
    explicit LoginServer(const QByteArray &realm)
        : m_realm(realm)
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    ++asked;
                    const QByteArray body = page("Locked");
                    socket->write("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"" + m_realm
                        + "\"\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
                        + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/secret").arg(serverPort()); }
    int asked = 0;

private:
    QByteArray m_realm;
};

// Closes any modal box that appears and remembers its title: the engine's own boxes would
// otherwise hold the test until its time runs out.
struct ModalWatch
{
    QTimer timer;
    QStringList seen;
    ModalWatch()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                seen << box->windowTitle();
                box->close();
            }
        });
        timer.start(200);
    }
};

} // namespace

// Pages that try to write outside the download folder, take over a tab or fool the user, on
// the real engine with pages from the loopback server.
class tst_HostilePages final : public QObject
{
    Q_OBJECT

private:
    struct Fixture : EngineWindow
    {
        Fixture() { PopupPolicy::instance().forgetAllowed(); }
        ~Fixture() override { PopupPolicy::instance().forgetAllowed(); }
        QString site() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }
        QWidget *surface() { return web(pages().curP())->view()->focusProxy(); }
        void click() { QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(40, 40)); }
        // The engine drops input that comes before the page's first frame: the mouse is moved
        // over the page until the page has seen it, so that one click is one click.
        bool takesInput()
        {
            return QTest::qWaitFor(
                [&] {
                    if (server.requested("/moved"))
                        return true;
                    QTest::mouseMove(surface(), QPoint(50, 50));
                    QTest::mouseMove(surface(), QPoint(60, 60));
                    return false;
                },
                20000);
        }
        bool load(const QByteArray &path, const QString &title)
        {
            if (!form->Form_Load(server.url(path)))
                return false;
            return QTest::qWaitFor([&] { return form->windowTitle() == title; }, 20000);
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        // The run has a home folder of its own (see main), so downloads land in a fresh folder.
        QVERIFY2(downloads().startsWith(home() + QLatin1Char('/')), qPrintable(downloads()));
        QVERIFY(home().contains(QStringLiteral("kovalis-home")));
    }

    void download_staysInTheDownloadFolder_data()
    {
        QTest::addColumn<QByteArray>("body"); // the page; "" serves the file itself
        QTest::addColumn<QByteArray>("disposition"); // Content-Disposition of /file
        QTest::addColumn<QString>("name"); // the name proposed, "" only checked for form
        QTest::addColumn<bool>("existing"); // a file of that name is in the folder already
        const QByteArray hidden = "<iframe style='display:none' src='/file'></iframe>";
        auto anchor = [](const QByteArray &name) -> QByteArray {
            return "<a id=a href='/file' download='" + name + "'>x</a><script>a.click()</script>";
        };
        QTest::addRow("../../x") << hidden << QByteArray("attachment; filename=\"../../escape.desktop\"")
                                 << QStringLiteral("escape.desktop") << false;
        QTest::addRow("/etc/x") << hidden << QByteArray("attachment; filename=\"/etc/kovalis-x.sh\"")
                                << QStringLiteral("kovalis-x.sh") << false;
        QTest::addRow("filename* with encoded ../")
            << hidden << QByteArray("attachment; filename*=UTF-8''%2e%2e%2f%2e%2e%2f.config%2fescape.desktop")
            << QStringLiteral("escape.desktop") << false;
        QTest::addRow("download=\"../x\"")
            << anchor("../escape.txt") << QByteArray() << QStringLiteral("escape.txt") << false;
        QTest::addRow("download=\"/etc/x\"")
            << anchor("/etc/kovalis-x.sh") << QByteArray() << QStringLiteral("kovalis-x.sh") << false;
        QTest::addRow("only dots") << hidden << QByteArray("attachment; filename=\"....\"") << QString()
                                   << false;
        QTest::addRow("1,000 characters")
            << hidden << QByteArray("attachment; filename=\"").append(QByteArray(1000, 'n')).append(".txt\"")
            << QString() << false;
        QTest::addRow("bidi override")
            << hidden << QByteArray("attachment; filename*=UTF-8''a%E2%80%AEtxt.exe")
            << QStringLiteral("atxt.exe") << false;
        QTest::addRow("markup in the name") << hidden << QByteArray("attachment; filename=\"<i>x<i>.txt\"")
                                            << QStringLiteral("<i>x<i>.txt") << false;
        QTest::addRow("existing file") << hidden << QByteArray("attachment; filename=\"kept.txt\"")
                                       << QStringLiteral("kept (1).txt") << true;
    }

    void download_staysInTheDownloadFolder()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, disposition);
        QFETCH(QString, name);
        QFETCH(bool, existing);
        Fixture f;
        QVERIFY(QDir(downloads()).removeRecursively());
        QVERIFY(QDir().mkpath(downloads()));
        if (existing) {
            QFile kept(QDir(downloads()).filePath(QStringLiteral("kept.txt")));
            QVERIFY(kept.open(QIODevice::WriteOnly));
            kept.write("mine");
        }
        const QStringList before = filesUnder(home());
        LoopbackServer::Response file;
        file.body = "payload";
        file.contentType = "application/octet-stream";
        if (!disposition.isEmpty())
            file.extraHeaders = "Content-Disposition: " + disposition + "\r\n";
        f.server.serve("/file", file);
        f.server.serve("/page", page("Page", body));
        QString suggested;
        QString site;
        // The user presses Enter in the dialog: the proposal is saved as it stands.
        f.asker.save = [&](const QString &path) {
            suggested = path;
            site = f.asker.saveSite;
            return path;
        };
        // The page's own load messages may follow the download's at once.
        QStringList said;
        connect(f.web(0), &Browser::statusTextChanged, this, [&](const QString &text) { said << text; });
        QVERIFY(f.form->Form_Load(f.server.url("/page")));
        QTRY_VERIFY_WITH_TIMEOUT(!suggested.isEmpty(), 20000);
        // Started without a click, the download is still asked about, naming the site.
        QCOMPARE(site, f.site());
        const QFileInfo proposed(suggested);
        QCOMPARE(proposed.absolutePath(), downloads());
        if (!name.isEmpty()) {
            // The engine numbers its own proposal past files where it would have put it, so
            // "x.sh" may come as "x (1).sh" on a machine with an /etc/x.sh.
            QString shown = proposed.fileName();
            if (!existing)
                shown.remove(QRegularExpression(QStringLiteral(" \\(\\d+\\)(?=\\.[^.]*$|$)")));
            QCOMPARE(shown, name);
        }
        QVERIFY(!proposed.fileName().startsWith(QLatin1Char('.')));
        QVERIFY(QFile::encodeName(proposed.fileName()).size() <= 200);
        QVERIFY(!proposed.fileName().contains(QChar(0x202E)));
        const QString done = QStringLiteral("下载完成：") + QDir::toNativeSeparators(suggested);
        QTRY_VERIFY2_WITH_TIMEOUT(said.contains(done), qPrintable(said.join(u'|')), 20000);
        // The status bar shows the page's name as it is, never as markup.
        QVERIFY(f.statusPanel()->textFormat() == Qt::PlainText || !Qt::mightBeRichText(done));
        QFile saved(suggested);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("payload"));
        // One new file, in the download folder; an existing one keeps its bytes.
        // One new file in the whole home folder but for the engine's own data.
        QStringList after = filesUnder(home());
        for (const QString &path : before)
            after.removeOne(path);
        after.removeIf([](const QString &path) {
            return path.startsWith(home() + QStringLiteral("/.local/share/"))
                || path.startsWith(home() + QStringLiteral("/.cache/"));
        });
        QCOMPARE(after, QStringList { suggested });
        QCOMPARE(filesUnder(downloads()).size(), existing ? 2 : 1);
        if (existing) {
            QFile kept(QDir(downloads()).filePath(QStringLiteral("kept.txt")));
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), QByteArray("mine"));
        }
    }

    void popup_needsAClick_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("click");
        QTest::addColumn<int>("pages"); // open pages at the end
        QTest::addRow("on load") << QByteArray("<script>onload=()=>window.open('/child')</script>") << false
                                 << 1;
        QTest::addRow("in a timer") << QByteArray(
            "<script>setTimeout(()=>window.open('/child'),100)</script>")
                                    << false << 1;
        QTest::addRow("in a loop of 200")
            << QByteArray("<script>onload=()=>{for(let i=0;i<200;++i)window.open('/child')}</script>")
            << false << 1;
        QTest::addRow("after a click") << clickable("window.open('/child')") << true << 2;
        QTest::addRow("a loop of 200 after a click")
            << clickable("for(let i=0;i<200;++i)window.open('/child')") << true << 2;
        // Print previews and receipts: a second on, the opener says what the window shows.
        QTest::addRow("a blank window filled by its opener after a click")
            << clickable("var w=window.open('');w.document.body.innerHTML='<h2>x</h2>';"
                         "setTimeout(()=>fetch('/child?'+w.document.body.innerText),1000)")
            << true << 2;
    }

    void popup_needsAClick()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, click);
        QFETCH(int, pages);
        const QVersionNumber engine = QVersionNumber::fromString(QLatin1String(qWebEngineVersion()));
        if (body.contains("innerHTML") && engine < QVersionNumber(6, 8)
            && !qEnvironmentVariableIsSet("TST_HOSTILE_ALONE")) {
            // Qt 6.4's engine ends the whole program here, so the row runs in a process of its own.
            QProcess alone;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TST_HOSTILE_ALONE"), QStringLiteral("1"));
            alone.setProcessEnvironment(env);
            alone.setProcessChannelMode(QProcess::MergedChannels);
            alone.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("popup_needsAClick:") + QString::fromUtf8(QTest::currentDataTag()) });
            QVERIFY(alone.waitForFinished(180000));
            const QByteArray why = "Qt WebEngine " + QByteArray(qWebEngineVersion())
                + " ends the whole program when a page writes into a window it opened";
            QEXPECT_FAIL("", why.constData(), Abort);
            QVERIFY2(alone.exitStatus() == QProcess::NormalExit && alone.exitCode() == 0,
                alone.readAll().right(2000).constData());
            return;
        }
        Fixture f;
        f.server.serve("/opener", page("Opener", body));
        f.server.serve("/child", page("Child"));
        QVERIFY(f.load("/opener", QStringLiteral("Opener")));
        if (click) {
            QTRY_COMPARE_WITH_TIMEOUT(f.status(), QStringLiteral("完成"), 20000);
            QVERIFY(f.takesInput());
            f.click();
            QTRY_COMPARE_WITH_TIMEOUT(f.pages().pageList().size(), pages, 20000);
            const QByteArray child = body.contains("innerHTML") ? "/child?x" : "/child";
            QTRY_VERIFY_WITH_TIMEOUT(f.server.requested(child), 20000);
            if (body.contains("200")) {
                // One click opens one window; the rest of the loop is blocked.
                QTRY_VERIFY_WITH_TIMEOUT(f.status().startsWith(QStringLiteral("已阻止")), 20000);
                QCOMPARE(f.pages().pageList().size(), pages);
            }
        } else {
            // The status bar names the site, and keeps saying so after the page has loaded.
            auto *allow = f.form->findChild<QToolButton *>(QStringLiteral("AllowPopups"));
            QVERIFY(allow);
            QTRY_VERIFY_WITH_TIMEOUT(allow->isVisible(), 20000);
            QCOMPARE(allow->text(), QStringLiteral("已阻止 %1 打开的弹出窗口，点此允许").arg(f.site()));
            QCOMPARE(f.pages().pageList().size(), 1);
            QVERIFY(!f.server.requested("/child"));
            // One action allows the site for the rest of the run.
            QTest::mouseClick(allow, Qt::LeftButton);
            QVERIFY(!allow->isVisible());
            QVERIFY(f.status().contains(f.server.url("")));
            f.front()->Refresh();
            QTRY_VERIFY_WITH_TIMEOUT(f.server.requested("/child"), 20000);
            QTRY_VERIFY_WITH_TIMEOUT(f.pages().pageList().size() > 1, 20000);
        }
    }

    void pageBox_isOurs_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("kind"); // PageDialog::Kind
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted"); // the user's answer
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("title"); // what the page learnt
        const int alert = int(PageDialog::Kind::Alert);
        const int confirm = int(PageDialog::Kind::Confirm);
        const int prompt = int(PageDialog::Kind::Prompt);
        QTest::addRow("alert") << QByteArray("alert('<b>注意</b>');document.title='after'") << alert
                               << QStringLiteral("<b>注意</b>") << true << QString()
                               << QStringLiteral("after");
        QTest::addRow("confirm, OK") << QByteArray("document.title='r:'+confirm('继续？')") << confirm
                                     << QStringLiteral("继续？") << true << QString()
                                     << QStringLiteral("r:true");
        QTest::addRow("confirm, cancelled")
            << QByteArray("document.title='r:'+confirm('继续？')") << confirm << QStringLiteral("继续？")
            << false << QString() << QStringLiteral("r:false");
        QTest::addRow("prompt") << QByteArray("document.title='r:'+prompt('名字','默认')") << prompt
                                << QStringLiteral("名字") << true << QStringLiteral("张三")
                                << QStringLiteral("r:张三");
        QTest::addRow("prompt, cancelled")
            << QByteArray("document.title='r:'+prompt('名字','默认')") << prompt << QStringLiteral("名字")
            << false << QString() << QStringLiteral("r:null");
    }

    void pageBox_isOurs()
    {
        QFETCH(QByteArray, script);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(QString, typed);
        QFETCH(QString, title);
        Fixture f;
        ModalWatch watch;
        f.dialogs.pageAnswers = { PageDialogAnswer { accepted, typed, false } };
        f.server.serve("/ask", page("Asking", "<script>onload=()=>{" + script + "}</script>"));
        QVERIFY(f.form->Form_Load(f.server.url("/ask")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), title, 20000);
        QCOMPARE(watch.seen, QStringList());
        QCOMPARE(f.dialogs.pageBoxes.size(), 1);
        const PageDialog &box = f.dialogs.pageBoxes.first();
        QCOMPARE(int(box.kind), kind);
        QCOMPARE(box.site, f.site());
        QCOMPARE(box.text, text);
        QVERIFY(!box.offerToStop);
        if (box.kind == PageDialog::Kind::Prompt)
            QCOMPARE(box.defaultAnswer, QStringLiteral("默认"));
    }

    void pageBox_pageThatKeepsAskingCanBeStopped()
    {
        Fixture f;
        ModalWatch watch;
        f.dialogs.pageAnswers = { PageDialogAnswer { true, {}, false }, PageDialogAnswer { true, {}, true } };
        f.server.serve("/nag",
            page("Nag",
                "<script>onload=()=>{let n=0;for(let i=0;i<50;++i){alert(i);n+=confirm(i)?1:0}"
                "document.title='done '+n}</script>"));
        QVERIFY(f.form->Form_Load(f.server.url("/nag")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("done 1"), 20000);
        QCOMPARE(watch.seen, QStringList());
        // The second box (the first confirm, answered OK) offered to stop the page's boxes, and
        // after it none came: every later confirm answered "cancel".
        QCOMPARE(f.dialogs.pageBoxes.size(), 2);
        QVERIFY(!f.dialogs.pageBoxes.at(0).offerToStop);
        QVERIFY(f.dialogs.pageBoxes.at(1).offerToStop);
    }

    void pageBox_beforeLeaving()
    {
        Fixture f;
        ModalWatch watch;
        f.dialogs.pageAnswers
            = { PageDialogAnswer { false, {}, false }, PageDialogAnswer { true, {}, false } };
        f.server.serve("/form",
            page("Form",
                "<script>onbeforeunload=e=>{e.preventDefault();return e.returnValue='x'}</script>"
                    + clickable("document.title='Typed'")));
        f.server.serve("/next", page("Next"));
        QVERIFY(f.load("/form", QStringLiteral("Form")));
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), QStringLiteral("完成"), 20000);
        // The question only comes for a page the user has used.
        QVERIFY(f.takesInput());
        f.click();
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Typed"), 20000);
        f.front()->Navigate(f.server.url("/next"));
        QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.pageBoxes.size(), 1, 20000);
        QCOMPARE(int(f.dialogs.pageBoxes.first().kind), int(PageDialog::Kind::Leave));
        QCOMPARE(f.dialogs.pageBoxes.first().site, f.site());
        QVERIFY(!f.server.requested("/next"));
        // The engine may drop an address given while it is still putting the refused one away:
        // it is given again until the question comes a second time.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                if (f.dialogs.pageBoxes.size() < 2)
                    f.front()->Navigate(f.server.url("/next"));
                return f.form->windowTitle() == QStringLiteral("Next");
            }(),
            20000);
        QCOMPARE(f.dialogs.pageBoxes.size(), 2);
        QCOMPARE(watch.seen, QStringList());
    }

    void pageBox_unattended_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("title");
        QTest::addRow("alert") << QByteArray("alert('x');document.title='r:after'")
                               << QStringLiteral("r:after");
        QTest::addRow("confirm") << QByteArray("document.title='r:'+confirm('x')")
                                 << QStringLiteral("r:false");
        QTest::addRow("prompt") << QByteArray("document.title='r:'+prompt('x','y')")
                                << QStringLiteral("r:null");
    }

    void pageBox_unattended()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, title);
        qputenv("KOVALIS_UNATTENDED", "1");
        ModalWatch watch;
        LoopbackServer server;
        server.serve("/ask", page("Asking", "<script>onload=()=>{" + script + "}</script>"));
        QTemporaryDir folder;
        UnattendedDialogs dialogs;
        UnattendedAsker asker;
        Form1 form(folder.path(), WebBrowser::factory(asker, dialogs), dialogs);
        form.show();
        QVERIFY(form.Form_Load(server.url("/ask")));
        QTRY_VERIFY_WITH_TIMEOUT(form.windowTitle().startsWith(QStringLiteral("r:")), 20000);
        QCOMPARE(watch.seen, QStringList());
        QCOMPARE(form.windowTitle(), title);
    }

    void fullScreen_namesTheSiteAndTheWayOut()
    {
        Fixture f;
        f.server.serve("/video", page("Video", clickable("document.documentElement.requestFullscreen()")));
        QVERIFY(f.load("/video", QStringLiteral("Video")));
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), QStringLiteral("完成"), 20000);
        QWidget *full = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (QWidget *w : QApplication::topLevelWidgets()) {
                    if (w->objectName() == QStringLiteral("FullScreenWindow") && w->isVisible())
                        full = w;
                }
                if (!full)
                    f.click();
                return full != nullptr;
            }(),
            20000);
        auto *notice = full->findChild<QLabel *>(QStringLiteral("FullScreenNotice"));
        QVERIFY(notice);
        QVERIFY(notice->isVisible());
        QVERIFY2(notice->text().contains(f.site()), qPrintable(notice->text()));
        QVERIFY(notice->text().contains(QStringLiteral("按 Esc 退出全屏")));
        QTest::keyClick(full, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(
            [] {
                for (QWidget *w : QApplication::topLevelWidgets()) {
                    if (w->objectName() == QStringLiteral("FullScreenWindow"))
                        return false;
                }
                return true;
            }(),
            20000);
    }

    void shownAddress_hasNoBidiOrFormatCharacters_data()
    {
        QTest::addColumn<bool>("hover"); // else the address box after loading it
        QTest::addRow("hovered link") << true;
        QTest::addRow("address box") << false;
    }

    void shownAddress_hasNoBidiOrFormatCharacters()
    {
        QFETCH(bool, hover);
        Fixture f;
        // Drawn right to left from the override on, this reads as a bank's address.
        const QByteArray tail = "&#x202E;lmth.nigol/moc.knab.www//:sptth";
        f.server.serve("/links",
            page("Links",
                "<a href='/x" + tail + "' style='display:block;width:100%;height:400px'" + seesMouse
                    + ">x</a>"));
        f.server.serve("/x%E2%80%AElmth.nigol/moc.knab.www//:sptth", page("Target"));
        QVERIFY(f.load("/links", QStringLiteral("Links")));
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), QStringLiteral("完成"), 20000);
        QString shown;
        if (hover) {
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    QTest::mouseMove(f.surface(), QPoint(50, 50));
                    QTest::mouseMove(f.surface(), QPoint(60, 60));
                    return f.status().contains(QStringLiteral("lmth"));
                }(),
                20000);
            shown = f.status();
        } else {
            QVERIFY(f.takesInput());
            f.click();
            QTRY_VERIFY_WITH_TIMEOUT(f.Text1()->text().contains(QStringLiteral("lmth")), 20000);
            shown = f.Text1()->text();
        }
        QVERIFY2(!shown.contains(QChar(0x202E)), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("%E2%80%AE")), qPrintable(shown));
    }

    void login_showsWhoAsks_data()
    {
        QTest::addColumn<bool>("frame"); // the login is asked by a frame of another site
        QTest::addRow("the page itself") << false;
        QTest::addRow("frame of another site") << true;
    }

    void login_showsWhoAsks()
    {
        QFETCH(bool, frame);
        Fixture f;
        LoginServer secret("<b>Kovalis Security</b>: enter your system password");
        QStringList prompts;
        f.asker.logIn = [&](const QString &prompt) -> std::optional<Asker::Login> {
            prompts << prompt;
            return std::nullopt;
        };
        f.server.serve("/framed", page("Framed", "<iframe src='" + secret.url().toUtf8() + "'></iframe>"));
        // The load messages that follow may replace the refusal in the status bar at once.
        QStringList said;
        connect(f.web(0), &Browser::statusTextChanged, this, [&](const QString &text) { said << text; });
        QVERIFY(f.form->Form_Load(frame ? f.server.url("/framed") : secret.url()));
        QTRY_VERIFY_WITH_TIMEOUT(secret.asked > 0, 20000);
        if (frame) {
            const QString refused = QStringLiteral("已拒绝 127.0.0.1:%1 在 %2 的网页中要求的登录")
                                        .arg(secret.serverPort())
                                        .arg(f.site());
            QTRY_VERIFY_WITH_TIMEOUT(said.contains(refused), 20000);
            QCOMPARE(prompts, QStringList());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(prompts.size(), 1, 20000);
        const QString site = QStringLiteral("127.0.0.1:%1").arg(secret.serverPort());
        QVERIFY2(prompts.first().startsWith(QStringLiteral("网站 %1 要求登录。").arg(site)),
            qPrintable(prompts.first()));
        // The realm is quoted as the site's words.
        QVERIFY2(prompts.first().contains(
                     QStringLiteral("该网站的说明：“<b>Kovalis Security</b>: enter your system password”")),
            qPrintable(prompts.first()));
    }

    void boxes_showPageTextAsPlainText_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addRow("message box") << QStringLiteral("message");
        QTest::addRow("page question") << QStringLiteral("question");
        QTest::addRow("login box") << QStringLiteral("login");
        QTest::addRow("page box") << QStringLiteral("page");
    }

    void boxes_showPageTextAsPlainText()
    {
        QFETCH(QString, box);
        // The real boxes, with somebody at the screen; each is read and closed as it opens.
        const QByteArray unattended = qgetenv("KOVALIS_UNATTENDED");
        qunsetenv("KOVALIS_UNATTENDED");
        const QString markup = QStringLiteral("<img src='http://127.0.0.1:1/track'><b>MARK</b>");
        QStringList seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            QWidget *open = QApplication::activeModalWidget();
            if (!open)
                return;
            for (const QLabel *label : open->findChildren<QLabel *>()) {
                if (!label->text().contains(QStringLiteral("MARK")))
                    continue;
                const bool rendered = label->textFormat() == Qt::RichText
                    || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
                seen << (rendered ? QStringLiteral("markup") : QStringLiteral("plain"));
            }
            open->close();
        });
        watch.start(100);
        if (box == QStringLiteral("message")) {
            QtDialogs().MsgBox(markup);
        } else if (box == QStringLiteral("question")) {
            ScreenAsker().allow(nullptr, markup);
        } else if (box == QStringLiteral("page")) {
            QtDialogs().PageBox({ PageDialog::Kind::Alert, QStringLiteral("127.0.0.1"), markup, {}, true });
        } else {
            ScreenAsker().login(nullptr, markup);
        }
        qputenv("KOVALIS_UNATTENDED", unattended);
        QCOMPARE(seen, QStringList { QStringLiteral("plain") });
    }

    void favorite_titledLikeTheHomepage()
    {
        Fixture f;
        f.server.serve("/home", page("主页"));
        QVERIFY(f.load("/home", QStringLiteral("主页")));
        f.form->runToolbarCommand(ToolbarCommand::AddFavorite);
        QCOMPARE(f.dialogs.messages, QStringList { QStringLiteral("已经收藏！") });
        const FavoritesStore store(f.folder.path());
        QCOMPARE(store.homeAtStartup(), QStringLiteral("about:blank"));
        QCOMPARE(FavoritesStore::listFiles(store.folderPath()), QStringList { QStringLiteral("#主页.link") });
    }

    // Held already.

    void localFiles_areOutOfReach_data()
    {
        QTest::addColumn<QByteArray>("script"); // "FILE" stands for the file's address
        QTest::addRow("fetch") << QByteArray(
            "fetch('FILE').then(r=>r.text()).then(t=>location='/after?read',()=>location='/after?refused')");
        QTest::addRow("XHR") << QByteArray(
            "let r='refused';try{let x=new XMLHttpRequest();x.open('GET','FILE',false);"
            "x.send();if(x.responseText)r='read'}catch(e){}location='/after?'+r");
        QTest::addRow("iframe") << QByteArray(
            "let i=document.createElement('iframe');i.src='FILE';document.body.append(i);setTimeout(()=>{"
            "let r='refused';try{if(i.contentDocument.body.innerText.includes('SECRET'))r='read'}catch(e){}"
            "location='/after?'+r},500)");
        QTest::addRow("window.open") << QByteArray(
            "window.open('FILE');setTimeout(()=>location='/after?refused',500)");
        QTest::addRow("link") << QByteArray(
            "let a=document.createElement('a');a.href='FILE';document.body.append(a);a.click();"
            "setTimeout(()=>location='/after?refused',500)");
        QTest::addRow("view-source") << QByteArray(
            "location='view-source:FILE';setTimeout(()=>location='/after?refused',500)");
        QTest::addRow("top-level navigation")
            << QByteArray("location='FILE';setTimeout(()=>location='/after?refused',500)");
    }

    void localFiles_areOutOfReach()
    {
        QFETCH(QByteArray, script);
        Fixture f;
        // Not the popup blocker but the engine must stop window.open here.
        PopupPolicy::instance().allow(f.server.url(""));
        QTemporaryDir secrets;
        const QString path = secrets.filePath(QStringLiteral("secret.txt"));
        QFile secret(path);
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("SECRET-42");
        secret.close();
        script.replace("FILE", QUrl::fromLocalFile(path).toEncoded());
        f.server.serve("/probe", page("Probe", "<script>onload=()=>{" + script + "}</script>"));
        f.server.serve("/after", page("After"));
        QVERIFY(f.form->Form_Load(f.server.url("/probe")));
        QTRY_VERIFY_WITH_TIMEOUT(
            !f.server.requests.isEmpty() && f.server.requests.last().startsWith("/after"), 20000);
        QCOMPARE(f.server.requests.last(), QByteArray("/after?refused"));
        for (const qint16 p : f.pages().pageList()) {
            const QString url = f.pages().browser(p)->LocationURL();
            QVERIFY2(!url.contains(QStringLiteral("file:")), qPrintable(url));
        }
    }

    void permission_isRememberedPerSite()
    {
        Fixture f;
        PermissionAsker::forgetEngineAnswers();
        QStringList questions;
        f.asker.answer = [&](const QString &question) {
            questions << question;
            return true;
        };
        LoopbackServer other;
        const QByteArray body = page("Asking",
            "<script>onload=()=>Notification.requestPermission()"
            ".then(p=>document.title='got '+p+location.search)</script>");
        f.server.serve("/ask", body);
        other.serve("/ask", body);
        QVERIFY(f.form->Form_Load(f.server.url("/ask")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("got granted"), 20000);
        f.front()->Navigate(other.url("/ask"));
        QTRY_COMPARE_WITH_TIMEOUT(questions.size(), 2, 20000);
        QVERIFY(questions.at(0).contains(f.server.url("")));
        QVERIFY(questions.at(1).contains(other.url("")));
        f.front()->Navigate(f.server.url("/ask?again"));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("got granted?again"), 20000);
        QCOMPARE(questions.size(), 2);
    }

    void profileFolder_isTheUsersOnly()
    {
        Fixture f;
        f.server.serve("/p", page("P"));
        QVERIFY(f.load("/p", QStringLiteral("P")));
        const QString folder = WebBrowser::sharedProfile()->persistentStoragePath();
        const QFileInfo info(folder);
        QVERIFY(info.isDir());
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(info.permissions() & others, QFile::Permissions());
    }
};

int main(int argc, char **argv)
{
    // A home folder of the run's own: downloads, the engine's profile and anything a page
    // might manage to write stay inside it.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/kovalis-home-XXXXXX"));
    qputenv("HOME", QFile::encodeName(home.path()));
    for (const char *name : { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_DOWNLOAD_DIR" })
        qunsetenv(name);
    tst_HostilePages test;
    return runEngineTest(test, argc, argv);
}

#include "tst_hostilepages.moc"
