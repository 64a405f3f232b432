#include "handoff.h"
#include "handofffolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <atomic>
#include <csignal>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

// The running instance's side under load and abuse: clients run on threads while the test's event
// loop serves them, as the program's would.
class tst_HandoffLoad final : public QObject
{
    Q_OBJECT

private:
    struct Instance
    {
        QTemporaryDir folder;
        std::unique_ptr<SingleInstance> single;
        QStringList received;

        Instance()
        {
            single = std::make_unique<SingleInstance>(folder.path());
            if (!single->tryBecomePrimary())
                qFatal("no lock");
            single->setExecuteHandler([this](const QString &text) {
                received.append(text);
                return true;
            });
        }
    };

    // Runs the event loop until `done` or the time is up.
    static bool serveUntil(const std::function<bool()> &done, int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    static QByteArray frame(const QByteArray &payload, quint32 length)
    {
        QByteArray message(4, '\0');
        qToBigEndian<quint32>(length, message.data());
        return message + payload;
    }

private Q_SLOTS:
    void thousandInARow()
    {
        Instance instance;
        std::atomic<int> accepted = 0;
        std::atomic<bool> finished = false;
        std::thread client([&] {
            for (int i = 0; i < 1000; ++i) {
                if (sendToRunningInstance(instance.folder.path(), u"http://a/%1"_s.arg(i), 5000)
                    == HandoffResult::Accepted)
                    ++accepted;
            }
            finished = true;
        });
        const bool done = serveUntil([&] { return finished.load(); }, 120000);
        client.join();
        QVERIFY(done);
        QCOMPARE(accepted.load(), 1000);
        QCOMPARE(instance.received.size(), 1000);
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(instance.received.at(i), u"http://a/%1"_s.arg(i));
    }

    void fiftyAtOnce()
    {
        Instance instance;
        std::atomic<int> accepted = 0;
        std::atomic<int> finished = 0;
        std::vector<std::thread> clients;
        for (int i = 0; i < 50; ++i) {
            clients.emplace_back([&, i] {
                if (sendToRunningInstance(instance.folder.path(), u"client %1"_s.arg(i), 20000)
                    == HandoffResult::Accepted)
                    ++accepted;
                ++finished;
            });
        }
        serveUntil([&] { return finished.load() == 50; }, 60000);
        for (std::thread &t : clients)
            t.join();
        QCOMPARE(accepted.load(), 50);
        QStringList expected;
        for (int i = 0; i < 50; ++i)
            expected.append(u"client %1"_s.arg(i));
        QStringList got = instance.received;
        got.sort();
        expected.sort();
        QCOMPARE(got, expected);
    }

    void hostileClients_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("closeAfter");
        QTest::addRow("silent") << QByteArray() << false;
        QTest::addRow("half a length") << QByteArray("\0\0", 2) << false;
        QTest::addRow("length, then silence") << frame("abc", 100) << false;
        QTest::addRow("garbage") << QByteArray("GET / HTTP/1.0\r\n\r\n") << false;
        QTest::addRow("zero length") << frame(QByteArray(), 0) << false;
        QTest::addRow("over the bound") << frame(
            QByteArray(SingleInstance::maxMessageBytes + 1, 'a'), SingleInstance::maxMessageBytes + 1)
                                        << false;
        QTest::addRow("1 MB of junk") << QByteArray(1 << 20, 'x') << false;
        QTest::addRow("bad UTF-8") << frame("\xc0\xaf", 2) << false;
        QTest::addRow("NUL inside") << frame(QByteArray("a\0b", 3), 3) << false;
        QTest::addRow("more than the length") << frame("abcd", 2) << false;
        QTest::addRow("half, then hang up") << frame("ab", 10) << true;
    }

    // Ten such clients at once are dropped and a good client gets through (how long the loop
    // stalls meanwhile is a figure of the benchmarks).
    void hostileClients()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, closeAfter);
        Instance instance;
        instance.single->setClientTimeout(300);
        const QString name = HandoffFolder::serverName(instance.folder.path());

        std::atomic<int> dropped = 0;
        std::atomic<int> answered = 0;
        std::vector<std::thread> clients;
        for (int i = 0; i < 10; ++i) {
            clients.emplace_back([&] {
                QLocalSocket socket;
                socket.connectToServer(name);
                if (!socket.waitForConnected(5000))
                    return;
                socket.write(bytes);
                socket.waitForBytesWritten(5000);
                if (closeAfter) {
                    socket.disconnectFromServer();
                    ++dropped;
                    return;
                }
                QElapsedTimer waited;
                waited.start();
                while (socket.state() == QLocalSocket::ConnectedState && waited.elapsed() < 10000) {
                    if (socket.waitForReadyRead(50) && socket.bytesAvailable() > 0) {
                        ++answered;
                        return;
                    }
                    if (socket.bytesToWrite() > 0)
                        socket.waitForBytesWritten(10);
                }
                if (socket.state() != QLocalSocket::ConnectedState)
                    ++dropped;
            });
        }
        const bool done = serveUntil([&] { return dropped.load() + answered.load() == 10; }, 15000);
        std::atomic<HandoffResult> later = HandoffResult::NoAnswer;
        std::atomic<bool> laterDone = false;
        std::thread good([&] {
            later = sendToRunningInstance(instance.folder.path(), u"http://good/"_s, 5000);
            laterDone = true;
        });
        serveUntil([&] { return laterDone.load(); }, 10000);
        good.join();
        for (std::thread &t : clients)
            t.join();
        QVERIFY(done);
        QCOMPARE(dropped.load(), 10);
        QCOMPARE(answered.load(), 0);
        QCOMPARE(int(later.load()), int(HandoffResult::Accepted));
        QCOMPARE(instance.received, QStringList { u"http://good/"_s });
    }

    // An instance killed while it held the lock and listened leaves both behind.
    void staleLockOfAKilledInstance()
    {
        QTemporaryDir folder;
        int fds[2];
        QVERIFY(pipe(fds) == 0);
        const pid_t pid = fork();
        if (pid == 0) {
            ::close(fds[0]);
            SingleInstance single(folder.path());
            const char ready = single.tryBecomePrimary() ? 'y' : 'n';
            [[maybe_unused]] const auto written = ::write(fds[1], &ready, 1);
            for (;;)
                pause();
        }
        ::close(fds[1]);
        char ready = 0;
        QCOMPARE(::read(fds[0], &ready, 1), ssize_t(1));
        ::close(fds[0]);
        QCOMPARE(ready, 'y');
        {
            // While the child lives, it is the running instance.
            SingleInstance second(folder.path());
            QVERIFY(!second.tryLock());
        }
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        QVERIFY(QFileInfo::exists(HandoffFolder::lockPath(folder.path())));

        SingleInstance next(folder.path());
        QVERIFY(next.tryBecomePrimary());
        QStringList received;
        next.setExecuteHandler([&](const QString &text) {
            received.append(text);
            return true;
        });
        std::atomic<bool> sent = false;
        std::atomic<HandoffResult> result = HandoffResult::NoAnswer;
        std::thread client([&] {
            result = sendToRunningInstance(folder.path(), u"after the crash"_s, 5000);
            sent = true;
        });
        serveUntil([&] { return sent.load(); }, 10000);
        client.join();
        QCOMPARE(int(result.load()), int(HandoffResult::Accepted));
        QCOMPARE(received, QStringList { u"after the crash"_s });
    }
};

QTEST_GUILESS_MAIN(tst_HandoffLoad)
#include "tst_handoffload.moc"
