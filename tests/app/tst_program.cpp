#include "handoff.h"
#include "loopbackserver.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {
const QByteArray kHeader = "[tarvo.link]\r\n";

// A line of /proc/PID/status, such as "Uid" or "Seccomp", without its name.
QByteArray statusLine(qint64 pid, const QByteArray &name)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(QByteArray(name + ':')))
            return line.mid(name.size() + 1).simplified();
    }
    return QByteArray();
}

// Every process below root, with its command line.
QHash<qint64, QByteArray> descendants(qint64 root)
{
    QHash<qint64, qint64> parents;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid)
            parents.insert(pid, statusLine(pid, "PPid").toLongLong());
    }
    QHash<qint64, QByteArray> found;
    for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
        for (qint64 up = it.value(), steps = 0; up > 1 && steps < 64; up = parents.value(up), ++steps) {
            if (up == root) {
                QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(it.key()));
                // A process gone meanwhile reads as nothing.
                if (cmdline.open(QIODevice::ReadOnly))
                    found.insert(it.key(), cmdline.readAll().replace('\0', ' '));
                break;
            }
        }
    }
    return found;
}

// The addresses of the open pages, in tab order, as the running program keeps them for after a crash.
QStringList sessionAddresses(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList addresses;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        if (!lines.at(i).isEmpty())
            addresses.append(QString::fromUtf8(lines.at(i).left(lines.at(i).indexOf('\t'))));
    }
    return addresses;
}

} // namespace

// The real program in a program folder of its own: start-up, arguments and the hand-off
// between two processes, watched through a loopback server's request log.
class tst_Program : public QObject
{
    Q_OBJECT

private:
    // Portable: both programs and the marker file in one folder. Flat: the same without the marker.
    // Installed: kovalis in bin/, the browser in the installed libexec folder beside it.
    enum class Layout { Portable, Flat, Installed };

    struct Folder
    {
        QTemporaryDir dir;
        QString bin; // the program folder: where kovalis is
        QString program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        std::vector<std::unique_ptr<QProcess>> running;

        // dataHome stands for the user's $XDG_DATA_HOME; by default one of the folder's own.
        explicit Folder(Layout layout = Layout::Portable, const QString &dataHome = QString())
        {
            bin = layout == Layout::Installed ? dir.filePath(QStringLiteral("bin")) : dir.path();
            const QString browserFolder = layout == Layout::Installed
                ? QDir::cleanPath(bin + QStringLiteral("/" KOVALIS_LIBEXEC_FROM_BIN))
                : bin;
            QDir().mkpath(bin);
            QDir().mkpath(browserFolder);
            program = bin + QStringLiteral("/kovalis");
            const QString browser = browserFolder + QStringLiteral("/kovalis-browser");
            QFile::copy(QStringLiteral(KOVALIS_BINARY), program);
            QFile::copy(QStringLiteral(KOVALIS_BROWSER_BINARY), browser);
            for (const QString &file : { program, browser })
                QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            if (layout == Layout::Portable)
                write(QStringLiteral("portable"), QByteArray());
            env.insert(QStringLiteral("XDG_DATA_HOME"),
                dataHome.isEmpty() ? dir.filePath(QStringLiteral("data-home")) : dataHome);
        }
        ~Folder()
        {
            for (auto &p : running) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        // A path in the program folder.
        QString path(const QString &name) const { return bin + QLatin1Char('/') + name; }
        // The user's data folder.
        QString userData() const
        {
            return env.value(QStringLiteral("XDG_DATA_HOME")) + QStringLiteral("/Kovalis");
        }
        static void writeFile(const QString &path, const QByteArray &bytes)
        {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
        }
        void write(const QString &name, const QByteArray &bytes) const { writeFile(path(name), bytes); }
        QProcess *start(const QStringList &arguments) { return start(arguments, env); }
        QProcess *start(const QStringList &arguments, const QProcessEnvironment &environment)
        {
            running.push_back(std::make_unique<QProcess>());
            QProcess *p = running.back().get();
            p->setProcessEnvironment(environment);
            p->setWorkingDirectory(dir.path());
            p->start(program, arguments);
            return p;
        }
        // A second start: runs to its end.
        int runToEnd(const QStringList &arguments, QByteArray *stderrText = nullptr,
            QByteArray *stdoutText = nullptr, const QProcessEnvironment *environment = nullptr)
        {
            QProcess *p = start(arguments, environment ? *environment : env);
            if (!p->waitForFinished(20000))
                return -1;
            if (stderrText)
                *stderrText = p->readAllStandardError();
            if (stdoutText)
                *stdoutText = p->readAllStandardOutput();
            return p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
        }
        // Everything under a folder, for checking where files were written.
        static QStringList filesUnder(const QString &folder)
        {
            QStringList all;
            QDirIterator it(
                folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext())
                all.append(it.next());
            return all;
        }
    };

private Q_SLOTS:
    void version_namesTheEngine()
    {
        Folder f;
        QProcess *p = f.start({ QStringLiteral("--version") });
        QVERIFY(p->waitForFinished(20000));
        const QByteArray out = p->readAllStandardOutput();
        QVERIFY2(out.startsWith("Kovalis 2.2.0.50") && out.contains("Chromium"), out.constData());
    }

    void blankWindowFilledByItsOpener_withoutAClick_isBlockedAndTheProgramLives()
    {
        // The pattern that ends the whole program on Qt 6.4's engine, here without a click, as an
        // advertisement would run it: blocked on every engine, and the opener finds the window closed.
        Folder f;
        LoopbackServer server;
        server.serve("/opener",
            "<!doctype html><meta charset=utf-8><title>opener</title><script>"
            "var w = window.open(''); try { w.document.body.innerHTML = '<h2>x</h2>'; } catch (e) {}"
            "setTimeout(() => fetch('/alive?closed=' + (!w || w.closed)), 1000);</script>");
        QProcess *browser = f.start({ server.url("/opener") });
        QVERIFY(browser->waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(
            server.requested("/alive?closed=true") || browser->state() != QProcess::Running, 60000);
        QVERIFY2(
            browser->state() == QProcess::Running, browser->readAllStandardError().right(2000).constData());
        QVERIFY(!server.requested("/alive?closed=false"));
    }

    void startUp_loadsWhatItIsGiven_data()
    {
        QTest::addColumn<QString>("argument"); // "$" stands for the program folder
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("an address") << QStringLiteral("URL/x") << QByteArray("/x");
        QTest::addRow("homepage file") << QString() << QByteArray("/home");
        QTest::addRow("quoted link path with blanks")
            << QStringLiteral("\"$/my links/a b.link\"") << QByteArray("/linked");
    }

    void startUp_loadsWhatItIsGiven()
    {
        QFETCH(QString, argument);
        QFETCH(QByteArray, expected);
        Folder f;
        LoopbackServer server;
        server.serve(
            expected, "<title>ok</title><script>addEventListener('load', () => fetch('/loaded'))</script>");
        f.write(QStringLiteral("likepage/主页.link"), kHeader + server.url("/home").toUtf8() + "\r\n");
        f.write(QStringLiteral("my links/a b.link"), kHeader + server.url("/linked").toUtf8() + "\r\n");
        argument.replace(QStringLiteral("URL"), server.url(""));
        argument.replace(QLatin1Char('$'), f.bin);
        f.start(argument.isEmpty() ? QStringList {} : QStringList { argument });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/loaded"), 30000);
        // Asked for before the window was built, and not asked for again when it was.
        QCOMPARE(server.requests.count(expected), 1);
    }

    void dataFolder_besideThePortableProgramElseTheUsers_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QString>("seed"); // made in the program folder first; a trailing / makes a folder
        QTest::addColumn<bool>("beside");
        QTest::addRow("marker file") << Layout::Portable << QString() << true;
        QTest::addRow("search engines of an older folder") << Layout::Flat << u"搜索.txt"_s << true;
        QTest::addRow("favorites of an older folder") << Layout::Flat << u"likepage/"_s << true;
        QTest::addRow("nothing beside the program") << Layout::Flat << QString() << false;
        QTest::addRow("a folder named like the marker") << Layout::Flat << u"portable/"_s << false;
        QTest::addRow("installed") << Layout::Installed << QString() << false;
        QTest::addRow("installed, marker beside kovalis") << Layout::Installed << u"portable"_s << true;
    }

    void dataFolder_besideThePortableProgramElseTheUsers()
    {
        QFETCH(Layout, layout);
        QFETCH(QString, seed);
        QFETCH(bool, beside);
        Folder f(layout);
        if (seed.endsWith(QLatin1Char('/')))
            QDir().mkpath(f.path(seed));
        else if (!seed.isEmpty())
            f.write(seed, QByteArray());
        QByteArray out;
        QCOMPARE(f.runToEnd({ QStringLiteral("--version") }, nullptr, &out), 0);
        const QString expected = beside ? f.bin : f.userData();
        const QByteArray line = "数据文件夹 Data folder: " + expected.toUtf8() + '\n';
        QVERIFY2(out.contains(line), out.constData());
    }

    void startUp_keepsEveryFileInTheDataFolder_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addRow("installed: the user's data folder") << Layout::Installed;
        QTest::addRow("portable: beside the program") << Layout::Portable;
    }

    void startUp_keepsEveryFileInTheDataFolder()
    {
        QFETCH(Layout, layout);
        QTemporaryDir home;
        Folder f(layout, home.path());
        const QString data = layout == Layout::Portable ? f.bin : f.userData();
        LoopbackServer server;
        server.serve("/home", "<title>ok</title>");
        Folder::writeFile(
            data + QStringLiteral("/likepage/主页.link"), kHeader + server.url("/home").toUtf8() + "\r\n");
        const QStringList before = Folder::filesUnder(f.dir.path()) + Folder::filesUnder(home.path());
        f.start({});
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/home"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(data + QStringLiteral("/搜索.txt")).isFile(), 20000);
        // The engine's cookies and logins too: two copies with their own data never share them.
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDir(data + QStringLiteral("/QtWebEngine/kovalis")).isEmpty(QDir::Files | QDir::NoDotAndDotDot),
            20000);
        QStringList filesElsewhere;
        for (const QString &file : Folder::filesUnder(f.dir.path()) + Folder::filesUnder(home.path()))
            // The engine makes its preferences file in its default folder before it can be told
            // where its storage is; only that one file may appear there.
            if (!before.contains(file) && !file.startsWith(data + QLatin1Char('/'))
                && QFileInfo(file).isFile()
                && file != f.userData() + QStringLiteral("/QtWebEngine/kovalis/user_prefs.json"))
                filesElsewhere.append(file);
        QVERIFY2(filesElsewhere.isEmpty(), qPrintable(filesElsewhere.join(u' ')));
    }

    void handOff_followsTheDataFolder_data()
    {
        QTest::addColumn<Layout>("first");
        QTest::addColumn<Layout>("second");
        QTest::addColumn<bool>("sameUser");
        QTest::addColumn<bool>("handedOver");
        QTest::addRow("two copies of one user") << Layout::Flat << Layout::Flat << true << true;
        QTest::addRow("a copy and the installed one") << Layout::Flat << Layout::Installed << true << true;
        QTest::addRow("installed copies of two users")
            << Layout::Installed << Layout::Installed << false << false;
        QTest::addRow("a portable and an installed copy")
            << Layout::Portable << Layout::Installed << true << false;
        QTest::addRow("two portable copies") << Layout::Portable << Layout::Portable << true << false;
    }

    void handOff_followsTheDataFolder()
    {
        QFETCH(Layout, first);
        QFETCH(Layout, second);
        QFETCH(bool, sameUser);
        QFETCH(bool, handedOver);
        QTemporaryDir home;
        Folder a(first, home.path());
        Folder b(second, sameUser ? home.path() : QString());
        b.env.insert(QStringLiteral("KOVALIS_TRACE"), QStringLiteral("1"));
        LoopbackServer server;
        a.start({ server.url("/a") });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/a"), 30000);
        QProcess *p = b.start({ server.url("/b") });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/b"), 30000);
        // The second program says which it became: a hand-over, or a window of its own.
        QByteArray trace;
        QTRY_VERIFY_WITH_TIMEOUT((trace += p->readAllStandardError()).contains("kovalis-trace handed-over")
                || trace.contains("kovalis-trace loaded"),
            30000);
        QCOMPARE(trace.contains("kovalis-trace handed-over"), handedOver);
    }

    void help_isOneScreenAndNeverHandedOver()
    {
        Folder f;
        LoopbackServer server;
        f.start({ server.url("/first") });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/first"), 30000);
        for (const QString &option : { QStringLiteral("--help"), QStringLiteral("-h") }) {
            QByteArray out;
            QCOMPARE(f.runToEnd({ option }, nullptr, &out), 0);
            QVERIFY2(
                out.contains("用法 Usage: kovalis") && out.contains("KOVALIS_UNATTENDED"), out.constData());
            // One screen: 24 lines of 80 columns, a Chinese character taking two.
            const QStringList lines = QString::fromUtf8(out).split(u'\n');
            QVERIFY2(lines.size() <= 25 && lines.last().isEmpty(), out.constData());
            for (const QString &line : lines) {
                qsizetype columns = 0;
                for (const QChar c : line)
                    columns += c.unicode() >= 0x2E80 ? 2 : 1;
                QVERIFY2(columns <= 80, qPrintable(line));
            }
        }
    }

    void startUp_withAMissingLinkFileEndsWithTheError()
    {
        Folder f;
        QByteArray err;
        QCOMPARE(f.runToEnd({ f.path(QStringLiteral("missing.link")) }, &err), 1);
        QVERIFY2(err.contains("missing.link"), err.constData());
    }

    void startUp_withTextThatMakesNoAddressKeepsRunning()
    {
        Folder f;
        LoopbackServer server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KOVALIS_TRACE"), QStringLiteral("1"));
        QProcess *first = f.start({ QStringLiteral("a b") }, env);
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += first->readAllStandardError()).contains("kovalis-trace shown"), 30000);
        // It answers a second start, so it is up and running.
        QCOMPARE(f.runToEnd({ server.url("/after") }), 0);
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/after"), 30000);
        QCOMPARE(first->state(), QProcess::Running);
    }

    void startUp_asRootWithoutTheSandboxSwitchRefuses()
    {
#ifdef Q_OS_UNIX
        if (geteuid() != 0)
            QSKIP("only as root");
#endif
        Folder f;
        QProcessEnvironment env = f.env;
        env.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
        QProcess *p = f.start({}, env);
        QVERIFY(p->waitForFinished(20000));
        QCOMPARE(p->exitCode(), 1);
        QVERIFY(p->readAllStandardError().contains("QTWEBENGINE_DISABLE_SANDBOX=1"));
    }

    void startUp_needsNoUsableRuntimeFolder_data()
    {
        QTest::addColumn<QString>("runtime");
        QTest::addRow("runtime folder unset") << QString();
        QTest::addRow("runtime folder of 200 characters") << QStringLiteral("long");
        QTest::addRow("runtime folder of another user") << QStringLiteral("other");
        QTest::addRow("link planted in the temp folder") << QStringLiteral("planted");
    }

    // Each starts, and a second start still hands over to it.
    void startUp_needsNoUsableRuntimeFolder()
    {
        QFETCH(QString, runtime);
        Folder f;
        LoopbackServer server;
        QTemporaryDir place;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        const QString temp = place.filePath(QStringLiteral("tmp"));
        QDir().mkpath(temp);
        env.insert(QStringLiteral("TMPDIR"), temp);
        env.insert(QStringLiteral("XDG_CACHE_HOME"), place.filePath(QStringLiteral("cache")));
        if (runtime == QStringLiteral("long")) {
            QString path = place.filePath(QStringLiteral("run/"));
            path += QString(200 - path.size(), QLatin1Char('x'));
            QDir().mkpath(path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path);
        } else if (runtime == QStringLiteral("other")) {
            QString path = QStringLiteral("/");
            if (geteuid() == 0) {
                path = place.filePath(QStringLiteral("other"));
                QDir().mkpath(path);
                QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
                QVERIFY(::chmod(QFile::encodeName(path).constData(), 0700) == 0);
                // Given back at the end, so the temporary folder can go.
                ::chmod(QFile::encodeName(place.path()).constData(), 0755);
            }
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path);
        } else if (runtime == QStringLiteral("planted")) {
            QVERIFY(
                QFile::link(place.path(), temp + QStringLiteral("/kovalis-") + QString::number(geteuid())));
        }
        QProcess *first = f.start({ server.url("/first") }, env);
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/first"), 30000);
        QByteArray err;
        QCOMPARE(f.runToEnd({ server.url("/second") }, &err, nullptr, &env), 0);
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/second"), 30000);
        QCOMPARE(first->state(), QProcess::Running);
    }

    // The README's run command, started by root: the pages run as an ordinary user, sandboxed.
    void runScript_asRootKeepsTheEngineSandbox()
    {
        if (geteuid() != 0)
            QSKIP("only as root");
        LoopbackServer server;
        server.serve("/sandboxed", "<title>sandboxed</title>");
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KOVALIS_BUILD_DIR"), QStringLiteral(KOVALIS_BUILD_DIR));
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        run.start(QStringLiteral("bash"),
            { QStringLiteral(KOVALIS_SOURCE_DIR "/scripts/run.sh"), server.url("/sandboxed") });
        QVERIFY(run.waitForStarted());
        const qint64 script = run.processId();
        // The engine forks its renderers from a zygote that its sandbox launcher started, and a forked
        // process keeps the zygote's command line: a renderer is an engine process under two others.
        const auto renderers = [&] {
            const auto isEngine = [](const QByteArray &cmdline) {
                return cmdline.left(cmdline.indexOf(' ')).endsWith("/QtWebEngineProcess");
            };
            QList<qint64> found;
            const QHash<qint64, QByteArray> tree = descendants(script);
            for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
                const qint64 parent = statusLine(it.key(), "PPid").toLongLong();
                const qint64 grandparent = statusLine(parent, "PPid").toLongLong();
                if (isEngine(it.value()) && isEngine(tree.value(parent)) && isEngine(tree.value(grandparent)))
                    found.append(it.key());
            }
            return found;
        };
        const auto stopAll = qScopeGuard([&] {
            for (qint64 pid : descendants(script).keys())
                ::kill(pid_t(pid), SIGKILL);
            run.kill();
            run.waitForFinished(10000);
        });
        // Building is already done; the script only checks that it is.
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/sandboxed") || run.state() != QProcess::Running, 240000);
        QVERIFY2(run.state() == QProcess::Running, "the run script ended");
        QTRY_VERIFY_WITH_TIMEOUT(!renderers().isEmpty(), 30000);
        const QHash<qint64, QByteArray> tree = descendants(script);
        for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
            // runuser itself stays root to wait for its child; the browser and the engine must not.
            const QByteArray program = it.value().left(it.value().indexOf(' '));
            if (!program.endsWith("/kovalis-browser") && !program.endsWith("/QtWebEngineProcess"))
                continue;
            const QList<QByteArray> uids = statusLine(it.key(), "Uid").split(' ');
            QVERIFY2(uids.size() == 4 && !uids.contains("0"), it.value().constData());
        }
        for (qint64 pid : renderers()) {
            QCOMPARE(statusLine(pid, "Seccomp"), QByteArray("2"));
        }
    }

    void handOff_secondStartsOpenInTheRunningInstanceInOrder()
    {
        Folder f;
        LoopbackServer server;
        QProcess *first = f.start({ server.url("/first") });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/first"), 30000);
        QList<QByteArray> expected;
        for (int i = 1; i <= 4; ++i) {
            const QByteArray target = "/second" + QByteArray::number(i);
            expected.append(target);
            // Quotes are taken off, as at a first start.
            const QString argument
                = i % 2 ? server.url(target) : QLatin1Char('"') + server.url(target) + QLatin1Char('"');
            QCOMPARE(f.runToEnd({ argument }), 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(expected.begin(), expected.end(),
                [&server](const QByteArray &target) { return server.requested(target); }),
            30000);
        // The pages stand in the order the second starts came; their requests, sent a moment apart
        // from pages of their own, may reach the server in any order.
        QStringList addresses { server.url("/first") };
        for (const QByteArray &target : std::as_const(expected))
            addresses.append(server.url(target));
        QTRY_COMPARE_WITH_TIMEOUT(
            sessionAddresses(f.path(QStringLiteral("打开的网页.txt"))), addresses, 30000);
        QCOMPARE(first->state(), QProcess::Running);
    }

    void handOff_withoutArgumentOnlyTellsTheUser()
    {
        Folder f;
        LoopbackServer server;
        f.start({ server.url("/first") });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/first"), 30000);
        const qsizetype before = server.requests.size();
        QByteArray err;
        QCOMPARE(f.runToEnd({}, &err), 0);
        QVERIFY2(err.contains("你已经打开了一个Kovalis."), err.constData());
        // A later hand-off arrives after anything the empty one could have opened.
        QCOMPARE(f.runToEnd({ server.url("/later") }), 0);
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/later"), 30000);
        for (const QByteArray &target : server.requests.mid(before))
            QVERIFY2(target == "/later" || target == "/favicon.ico", target.constData());
    }

    void handOff_aRelativePathMeansTheSecondStartsFolder()
    {
        Folder f;
        LoopbackServer server;
        f.write(QStringLiteral("sub/x.link"), kHeader + server.url("/relative").toUtf8() + "\r\n");
        f.start({ server.url("/first") });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/first"), 30000);
        QProcess second;
        second.setWorkingDirectory(f.path(QStringLiteral("sub")));
        second.start(f.program, { QStringLiteral("x.link") });
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/relative"), 30000);
    }

    void handOff_noAnswerBehindAHeldLockIsReported()
    {
        Folder f;
        // This test holds the lock as a running instance would, but never answers.
        SingleInstance silent(f.dir.path());
        QVERIFY(silent.tryLock());
        QByteArray err;
        // Ends on its own: the wait is bounded.
        QCOMPARE(f.runToEnd({ QStringLiteral("http://127.0.0.1:9/") }, &err), 1);
        QVERIFY2(err.contains("Kovalis"), err.constData());
    }

    void twoFirstStartsAtOnce_leaveOneInstanceWithBothAddresses()
    {
        Folder f;
        LoopbackServer server;
        QProcess *a = f.start({ server.url("/a") });
        QProcess *b = f.start({ server.url("/b") });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested("/a") && server.requested("/b"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(
            (a->state() == QProcess::Running) != (b->state() == QProcess::Running), 20000);
        QProcess *ended = a->state() == QProcess::Running ? b : a;
        QCOMPARE(ended->exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
