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
            QFile::copy(QStringLiteral(KOVALIS_BINARY), program);
            QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
        QProcess *start(const QStringList &arguments, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
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
        QProcess *p = f.start({QStringLiteral("--version")});
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
        QTest::addRow("quoted link path with blanks") << QStringLiteral("\"$/my links/a b.link\"")
                                                      << QByteArray("/linked");
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
        f.start(argument.isEmpty() ? QStringList{} : QStringList{argument});
        QTRY_VERIFY_WITH_TIMEOUT(server.requested(expected), 30000);
    }

    void startUp_withAMissingLinkFileEndsWithTheError()
    {
        Folder f;
        QByteArray err;
        QCOMPARE(f.runToEnd({f.path(QStringLiteral("missing.link"))}, &err), 1);
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
};

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
