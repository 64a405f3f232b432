#include "handoff.h"
#include "loopbackserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
const QByteArray kHeader = "[tarvo.link]\r\n";
}

// The real program in a program folder of its own: start-up, arguments and the hand-off
// between two processes, watched through a loopback server's request log.
class tst_Program : public QObject
{
    Q_OBJECT

private:
    struct Folder
    {
        QTemporaryDir dir;
        QString program;
        std::vector<std::unique_ptr<QProcess>> running;

        Folder()
        {
            program = dir.filePath(QStringLiteral("kovalis"));
            const QString browser = dir.filePath(QStringLiteral("kovalis-browser"));
            QFile::copy(QStringLiteral(KOVALIS_BINARY), program);
            QFile::copy(QStringLiteral(KOVALIS_BROWSER_BINARY), browser);
            for (const QString &file : { program, browser })
                QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        ~Folder()
        {
            for (auto &p : running) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        QString path(const QString &name) const { return dir.filePath(name); }
        void write(const QString &name, const QByteArray &bytes) const
        {
            QDir().mkpath(QFileInfo(path(name)).absolutePath());
            QFile file(path(name));
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
        }
        QProcess *start(const QStringList &arguments,
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
        {
            running.push_back(std::make_unique<QProcess>());
            QProcess *p = running.back().get();
            p->setProcessEnvironment(env);
            p->setWorkingDirectory(dir.path());
            p->start(program, arguments);
            return p;
        }
        // A second start: runs to its end.
        int runToEnd(const QStringList &arguments, QByteArray *stderrText = nullptr, qint64 *ms = nullptr)
        {
            QElapsedTimer clock;
            clock.start();
            QProcess *p = start(arguments);
            if (!p->waitForFinished(20000))
                return -1;
            if (ms)
                *ms = clock.elapsed();
            if (stderrText)
                *stderrText = p->readAllStandardError();
            return p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
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
        server.serve(expected, "<title>ok</title>");
        f.write(QStringLiteral("likepage/主页.link"), kHeader + server.url("/home").toUtf8() + "\r\n");
        f.write(QStringLiteral("my links/a b.link"), kHeader + server.url("/linked").toUtf8() + "\r\n");
        argument.replace(QStringLiteral("URL"), server.url(""));
        argument.replace(QLatin1Char('$'), f.dir.path());
        f.start(argument.isEmpty() ? QStringList {} : QStringList { argument });
        QTRY_VERIFY_WITH_TIMEOUT(server.requested(expected), 30000);
    }

    void startUp_withAMissingLinkFileEndsWithTheError()
    {
        Folder f;
        QByteArray err;
        QCOMPARE(f.runToEnd({ f.path(QStringLiteral("missing.link")) }, &err), 1);
        QVERIFY2(err.contains("missing.link"), err.constData());
    }

    void startUp_asRootWithoutTheSandboxSwitchRefuses()
    {
#ifdef Q_OS_UNIX
        if (geteuid() != 0)
            QSKIP("only as root");
#endif
        Folder f;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
        QProcess *p = f.start({}, env);
        QVERIFY(p->waitForFinished(20000));
        QCOMPARE(p->exitCode(), 1);
        QVERIFY(p->readAllStandardError().contains("QTWEBENGINE_DISABLE_SANDBOX=1"));
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
        QTRY_COMPARE_WITH_TIMEOUT(
            server.requests.mid(server.requests.indexOf("/first") + 1), expected, 30000);
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
        QTest::qWait(500);
        QCOMPARE(server.requests.size(), before);
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
        qint64 ms = 0;
        QCOMPARE(f.runToEnd({ QStringLiteral("http://127.0.0.1:9/") }, &err, &ms), 1);
        QVERIFY2(err.contains("Kovalis"), err.constData());
        QVERIFY2(ms < 15000, "the wait is bounded");
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
