#include "commandline.h"
#include "datafolder.h"
#include "failure.h"
#include "handoff.h"
#include "handofffolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Outcome
{
    HandoffResult result;
    QString error;
};

// A second start runs in its own thread: it blocks while this thread's event loop serves it.
std::future<Outcome> sendLater(const QString &folder, const QString &text, int timeoutMs = 5000,
    IfNoneListens ifNone = IfNoneListens::WaitForOne)
{
    return std::async(std::launch::async, [=] {
        Outcome o;
        o.result = sendToRunningInstance(folder, text, timeoutMs, &o.error, ifNone);
        return o;
    });
}

bool ready(const std::future<Outcome> &f)
{
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// A socket file nobody listens on, as a killed instance leaves it.
void leaveDeadSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);
}

enum class Answer { Accept, Refuse, Throw };

} // namespace

class tst_Handoff final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_runtime; // stands in for the session's runtime folder
    QTemporaryDir m_temp;
    QTemporaryDir m_cache;
    QTemporaryDir m_program;

    QProcess *startChild(const QString &mode)
    {
        auto *child = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"TST_HANDOFF_CHILD"_s, mode);
        env.insert(u"TST_HANDOFF_FOLDER"_s, m_program.path());
        child->setProcessEnvironment(env);
        child->start(QCoreApplication::applicationFilePath(), {});
        return child;
    }

private Q_SLOTS:
    void initTestCase() { cleanup(); }

    void cleanup()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
    }

    void handOver_answersAsTheHandlerDecides_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<HandoffResult>("expected");
        QTest::addColumn<bool>("handled");
        QTest::addRow("Chinese path with blanks")
            << u"/home/用户 甲/收藏 夹/百度 一下.link"_s << Answer::Accept << HandoffResult::Accepted << true;
        QTest::addRow("address") << u"http://127.0.0.1:8080/a?b=c&d=e"_s << Answer::Accept
                                 << HandoffResult::Accepted << true;
        QTest::addRow("largest allowed")
            << QString(32768, u'a') << Answer::Accept << HandoffResult::Accepted << true;
        QTest::addRow("largest in Chinese")
            << QString(10922, u'汉') << Answer::Accept << HandoffResult::Accepted << true;
        QTest::addRow("handler refuses") << u"坏.link"_s << Answer::Refuse << HandoffResult::Refused << true;
        QTest::addRow("handler throws") << u"坏.link"_s << Answer::Throw << HandoffResult::Refused << true;
        QTest::addRow("one byte too long")
            << QString(32769, u'a') << Answer::Accept << HandoffResult::Refused << false;
        QTest::addRow("empty") << QString() << Answer::Accept << HandoffResult::Refused << false;
    }

    void handOver_answersAsTheHandlerDecides()
    {
        QFETCH(QString, text);
        QFETCH(Answer, answer);
        QFETCH(HandoffResult, expected);
        QFETCH(bool, handled);
        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryBecomePrimary());
        QStringList received;
        primary.setExecuteHandler([&](const QString &s) {
            received.append(s);
            if (answer == Answer::Throw)
                throw Failure(u"文件格式错误。"_s);
            return answer == Answer::Accept;
        });
        auto client = sendLater(m_program.path(), text);
        QTRY_VERIFY(ready(client));
        const Outcome o = client.get();
        QCOMPARE(o.result, expected);
        QCOMPARE(o.error.isEmpty(), expected == HandoffResult::Accepted);
        QCOMPARE(received, handled ? QStringList { text } : QStringList());
    }

    void handOver_answersBeforeOpening_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<HandoffResult>("expected");
        QTest::addRow("accepted: answered, then opened") << Answer::Accept << HandoffResult::Accepted;
        QTest::addRow("refused: never opened") << Answer::Refuse << HandoffResult::Refused;
        QTest::addRow("check throws: refused, never opened") << Answer::Throw << HandoffResult::Refused;
    }

    void handOver_answersBeforeOpening()
    {
        QFETCH(Answer, answer);
        QFETCH(HandoffResult, expected);
        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryBecomePrimary());
        std::future<Outcome> client;
        QStringList checked, opened;
        bool answeredBeforeOpening = false;
        primary.setReceiveHandler([&](const QString &s) {
            checked.append(s);
            if (answer == Answer::Throw)
                throw Failure(u"文件格式错误。"_s);
            Handover handover;
            handover.accepted = answer == Answer::Accept;
            handover.open = [&, s] {
                // The sender already has its answer while the page is being opened.
                answeredBeforeOpening
                    = client.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
                opened.append(s);
            };
            return handover;
        });
        client = sendLater(m_program.path(), u"http://127.0.0.1:8080/"_s);
        QTRY_VERIFY(ready(client));
        QCOMPARE(client.get().result, expected);
        QCOMPARE(checked, QStringList { u"http://127.0.0.1:8080/"_s });
        if (expected == HandoffResult::Accepted) {
            QTRY_COMPARE(opened, checked);
            QVERIFY(answeredBeforeOpening);
        } else {
            // A later string is handled only after this one was decided and any opening done.
            auto later = sendLater(m_program.path(), u"后来"_s);
            QTRY_VERIFY(ready(later));
            QCOMPARE(opened, QStringList());
        }
    }

    void handOver_oneAtATimeInArrivalOrder()
    {
        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryBecomePrimary());
        QStringList received;
        int depth = 0, deepest = 0;
        bool arrived = false;
        std::vector<std::future<Outcome>> clients;
        primary.setExecuteHandler([&](const QString &s) {
            deepest = std::max(deepest, ++depth);
            received.append(s);
            if (s == u"一"_s) {
                // Like a modal box: the event loop runs on while the others arrive.
                clients.push_back(sendLater(m_program.path(), u"二"_s));
                arrived = QTest::qWaitFor([&] { return primary.waitingCount() == 1; });
                clients.push_back(sendLater(m_program.path(), u"三"_s));
                arrived = arrived && QTest::qWaitFor([&] { return primary.waitingCount() == 2; });
            }
            --depth;
            return true;
        });
        clients.insert(clients.begin(), sendLater(m_program.path(), u"一"_s));
        QTRY_VERIFY(clients.size() == 3 && std::all_of(clients.begin(), clients.end(), ready));
        for (auto &client : clients)
            QCOMPARE(client.get().result, HandoffResult::Accepted);
        QCOMPARE(received, (QStringList { u"一"_s, u"二"_s, u"三"_s }));
        QVERIFY(arrived);
        QCOMPARE(deepest, 1);
    }

    void handOver_aSenderThatGaveUpIsNotOpened()
    {
        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryBecomePrimary());
        QStringList received;
        std::future<Outcome> impatient;
        primary.setExecuteHandler([&](const QString &s) {
            received.append(s);
            if (s == u"忙"_s) {
                // The window is busy, its event loop not running, while a second start gives up.
                impatient = sendLater(m_program.path(), u"放弃了"_s, 300);
                impatient.wait();
            }
            return true;
        });
        auto busy = sendLater(m_program.path(), u"忙"_s);
        QTRY_VERIFY(ready(busy));
        QCOMPARE(busy.get().result, HandoffResult::Accepted);
        QCOMPARE(impatient.get().result, HandoffResult::NoAnswer);
        // Strings are handled in arrival order: once this one is in, the one before was decided.
        auto later = sendLater(m_program.path(), u"后来"_s);
        QTRY_VERIFY(ready(later));
        QCOMPARE(later.get().result, HandoffResult::Accepted);
        QCOMPARE(received, (QStringList { u"忙"_s, u"后来"_s }));
    }

    void noListener_noAnswerWithinTheBound_data()
    {
        QTest::addColumn<bool>("deadSocket");
        QTest::addColumn<bool>("lockHeld");
        // The small program gives up at once: the browser then decides by the lock.
        QTest::addColumn<bool>("giveUp");
        for (const bool giveUp : { false, true }) {
            const char *how = giveUp ? ", giving up at once" : "";
            QTest::addRow("nothing running%s", how) << false << false << giveUp;
            QTest::addRow("socket of a dead instance%s", how) << true << false << giveUp;
            QTest::addRow("lock held, never listening%s", how) << false << true << giveUp;
        }
    }

    void noListener_noAnswerWithinTheBound()
    {
        QFETCH(bool, deadSocket);
        QFETCH(bool, lockHeld);
        QFETCH(bool, giveUp);
        SingleInstance holder(m_program.path());
        if (lockHeld)
            QVERIFY(holder.tryLock());
        if (deadSocket)
            leaveDeadSocket(HandoffFolder::serverName(m_program.path()));
        QString error;
        const HandoffResult result = sendToRunningInstance(m_program.path(), u"a"_s, 600, &error,
            giveUp ? IfNoneListens::GiveUp : IfNoneListens::WaitForOne);
        QCOMPARE(result, giveUp ? HandoffResult::NotRunning : HandoffResult::NoAnswer);
        QCOMPARE(error.contains(u"没有回应"_s), !giveUp);
        QFile::remove(HandoffFolder::serverName(m_program.path()));
    }

    void giveUpIfNoneListens_stillHandsOverToAListener()
    {
        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryBecomePrimary());
        QStringList received;
        primary.setExecuteHandler([&received](const QString &text) {
            received.append(text);
            return true;
        });
        auto client = sendLater(m_program.path(), u"http://given.test/"_s, 5000, IfNoneListens::GiveUp);
        QTRY_VERIFY(ready(client));
        QCOMPARE(client.get().result, HandoffResult::Accepted);
        QCOMPARE(received, QStringList { u"http://given.test/"_s });
    }

    void handOver_waitsForAServerStillStarting()
    {
        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryLock());
        auto client = sendLater(m_program.path(), u"a"_s);
        QTest::qWait(300);
        primary.listen();
        primary.setExecuteHandler([](const QString &) { return true; });
        QTRY_VERIFY(ready(client));
        QCOMPARE(client.get().result, HandoffResult::Accepted);
    }

    void secondInstance_ofTheSameFolderIsNotPrimary_data()
    {
        QTest::addColumn<QString>("spelling");
        QTest::addColumn<bool>("primary");
        QTest::addRow("same path") << m_program.path() << false;
        QTest::addRow("trailing slash") << m_program.path() + u"/"_s << false;
        QTest::addRow("dot segments") << m_program.path() + u"/sub/.."_s << false;
        QTest::addRow("through a link") << m_temp.filePath(u"link"_s) << false;
        QTest::addRow("another folder") << m_temp.path() << true;
    }

    void secondInstance_ofTheSameFolderIsNotPrimary()
    {
        QFETCH(QString, spelling);
        QFETCH(bool, primary);
        QDir(m_program.path()).mkpath(u"sub"_s);
        QFile::link(m_program.path(), m_temp.filePath(u"link"_s));
        SingleInstance first(m_program.path());
        QVERIFY(first.tryBecomePrimary());
        SingleInstance second(spelling);
        QCOMPARE(second.tryBecomePrimary(), primary);
    }

    void killedInstance_leftoversDoNotStopTheNext()
    {
        QProcess *child = startChild(u"primary"_s);
        QVERIFY(child->waitForReadyRead(10000));
        QCOMPARE(child->readLine().trimmed(), QByteArray("ready"));
        SingleInstance meanwhile(m_program.path());
        QVERIFY(!meanwhile.tryBecomePrimary());
        auto client = sendLater(m_program.path(), u"从另一个进程 来"_s);
        QTRY_VERIFY(ready(client));
        QCOMPARE(client.get().result, HandoffResult::Accepted);
        QByteArray said;
        QTRY_VERIFY((said += child->readAllStandardOutput()).contains(u"got 从另一个进程 来\n"_s.toUtf8()));

        child->kill();
        QVERIFY(child->waitForFinished(10000));
        QVERIFY(QFile::exists(HandoffFolder::lockPath(m_program.path())));
        QVERIFY(QFile::exists(HandoffFolder::serverName(m_program.path())));
        SingleInstance next(m_program.path());
        QVERIFY(next.tryBecomePrimary());
        next.setExecuteHandler([](const QString &) { return true; });
        auto later = sendLater(m_program.path(), u"a"_s);
        QTRY_VERIFY(ready(later));
        QCOMPARE(later.get().result, HandoffResult::Accepted);
    }

    void lockOfNoRunningInstance_isTakenOver_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<bool>("primary");
        // A dead instance's PID reused by another program, which Qt alone takes for the holder.
        QTest::addRow("names a live process that is not Kovalis") << u"other"_s << true;
        // Holds the lock but does not listen yet.
        QTest::addRow("an instance still starting") << u"starting"_s << false;
        // Made the file a moment ago and is about to lock it, as two starts at once race.
        QTest::addRow("a lock file just made, not yet locked") << u"fresh"_s << false;
    }

    void lockOfNoRunningInstance_isTakenOver()
    {
        QFETCH(QString, holder);
        QFETCH(bool, primary);
        QProcess *process = nullptr;
        if (holder == u"other"_s) {
            process = new QProcess(this);
            process->start(u"sleep"_s, { u"600"_s });
            QVERIFY(process->waitForStarted(10000));
            QFile lock(HandoffFolder::lockPath(m_program.path()));
            QVERIFY(lock.open(QIODevice::WriteOnly));
            // Written as QLockFile writes it: PID, program name, host, machine and boot.
            lock.write(QByteArray::number(process->processId()) + "\nsleep\n"
                + QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n'
                + QSysInfo::bootUniqueId() + '\n');
            // Left by an instance that died a while ago.
            QVERIFY(lock.flush());
            QVERIFY(lock.setFileTime(
                QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        } else if (holder == u"fresh"_s) {
            QVERIFY(QFile(HandoffFolder::lockPath(m_program.path())).open(QIODevice::WriteOnly));
        } else {
            process = startChild(u"hold"_s);
            QVERIFY(process->waitForReadyRead(10000));
            QCOMPARE(process->readLine().trimmed(), QByteArray("ready"));
        }
        SingleInstance next(m_program.path());
        const bool became = next.tryBecomePrimary();
        if (process) {
            process->kill();
            process->waitForFinished(10000);
        }
        if (!became)
            QFile::remove(HandoffFolder::lockPath(m_program.path()));
        QCOMPARE(became, primary);
        if (!primary)
            return;
        next.setExecuteHandler([](const QString &) { return true; });
        auto later = sendLater(m_program.path(), u"a"_s);
        QTRY_VERIFY(ready(later));
        QCOMPARE(later.get().result, HandoffResult::Accepted);
    }

    void twoFirstStarts_oneBecomesTheOthersServer()
    {
        QProcess *a = startChild(u"race"_s);
        QProcess *b = startChild(u"race"_s);
        QVERIFY(a->waitForFinished(20000) && b->waitForFinished(20000));
        QStringList said { QString::fromUtf8(a->readAllStandardOutput().trimmed()),
            QString::fromUtf8(b->readAllStandardOutput().trimmed()) };
        said.sort();
        QCOMPARE(said, (QStringList { u"client accepted"_s, u"primary got 另一个"_s }));
    }

    void hostileClients_areDroppedWithoutBlocking_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("timeoutMs"); // 0: the program's own
        // Every kind of hostile client, ten at once, is in tst_handoffload; here one of each way
        // to end: by the program's own time, and at once.
        QTest::addRow("silent, the program's own time") << QByteArray() << 0;
        QTest::addRow("length beyond the bound") << QByteArray("\xff\xff\xff\xff") << 500;
    }

    void hostileClients_areDroppedWithoutBlocking()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, timeoutMs);
        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryBecomePrimary());
        if (timeoutMs > 0)
            primary.setClientTimeout(timeoutMs);
        QStringList received;
        primary.setExecuteHandler([&](const QString &s) {
            received.append(s);
            return true;
        });
        QLocalSocket hostile;
        hostile.connectToServer(HandoffFolder::serverName(m_program.path()));
        QVERIFY(hostile.waitForConnected(1000));
        hostile.write(bytes);
        // A client that waits is dropped by a timer while everything else goes on.
        QTRY_COMPARE_WITH_TIMEOUT(hostile.state(), QLocalSocket::UnconnectedState, 20000);
        QCOMPARE(hostile.readAll(), QByteArray());

        auto good = sendLater(m_program.path(), u"好"_s);
        QTRY_VERIFY(ready(good));
        QCOMPARE(good.get().result, HandoffResult::Accepted);
        QCOMPARE(received, QStringList { u"好"_s });
    }

    void privateFolder_anotherUserCannotStopTheStart_data()
    {
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<QString>("cache");
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QString>("expected"); // runtime, cache, temp, or none
        QTest::addRow("runtime folder private") << u"private"_s << u"ok"_s << QString() << u"runtime"_s;
        QTest::addRow("runtime folder open to others") << u"open"_s << u"ok"_s << QString() << u"cache"_s;
        QTest::addRow("runtime folder missing") << u"missing"_s << u"ok"_s << QString() << u"cache"_s;
        QTest::addRow("runtime folder unset") << QString() << u"ok"_s << QString() << u"cache"_s;
        QTest::addRow("runtime folder of 200 characters") << u"long"_s << u"ok"_s << QString() << u"cache"_s;
        QTest::addRow("runtime folder of another user") << u"other"_s << u"ok"_s << QString() << u"cache"_s;
        QTest::addRow("link planted in the runtime folder")
            << u"planted link"_s << u"ok"_s << QString() << u"cache"_s;
        QTest::addRow("file planted in the runtime folder")
            << u"planted file"_s << u"ok"_s << QString() << u"cache"_s;
        QTest::addRow("folder in the runtime folder open to others")
            << u"planted open"_s << u"ok"_s << QString() << u"cache"_s;
        QTest::addRow("link planted in the temp folder") << QString() << u"ok"_s << u"link"_s << u"cache"_s;
        QTest::addRow("cache folder of 200 characters") << QString() << u"long"_s << QString() << u"temp"_s;
        QTest::addRow("no home, temp folder of another user")
            << QString() << u"long"_s << u"other"_s << u"none"_s;
        QTest::addRow("no home, link planted in the temp folder")
            << QString() << u"long"_s << u"link"_s << u"none"_s;
    }

    // Each start that finds a folder of its own also hands over from a second start.
    void privateFolder_anotherUserCannotStopTheStart()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, cache);
        QFETCH(QString, temp);
        QFETCH(QString, expected);
        QTemporaryDir place; // runtime, cache and temp folders of this row
        QTemporaryDir elsewhere;
        const auto folder = [&](const QString &name, qsizetype length = 0) {
            QString path = place.filePath(name);
            if (length > path.size())
                path += u'/' + QString(length - path.size() - 1, u'x');
            QDir().mkpath(path);
            ::chmod(QFile::encodeName(path).constData(), 0700);
            return path;
        };
        // Owned by someone else: a folder given away when we are root, else the root folder.
        const auto othersFolder = [&](const QString &path) {
            if (::geteuid() != 0)
                return u"/"_s;
            QDir().mkpath(path);
            if (::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
                qFatal("chown");
            return path;
        };

        QString runtimeDir = folder(u"run"_s);
        if (runtime == u"open"_s)
            ::chmod(QFile::encodeName(runtimeDir).constData(), 0755);
        else if (runtime == u"missing"_s)
            runtimeDir = place.filePath(u"gone"_s);
        else if (runtime == u"long"_s)
            runtimeDir = folder(u"longrun"_s, 200);
        else if (runtime == u"other"_s)
            runtimeDir = othersFolder(place.filePath(u"other-run"_s));
        else if (runtime == u"planted link"_s)
            QVERIFY(QFile::link(elsewhere.path(), runtimeDir + u"/kovalis"_s));
        else if (runtime == u"planted file"_s)
            QVERIFY(QFile(runtimeDir + u"/kovalis"_s).open(QIODevice::WriteOnly));
        else if (runtime == u"planted open"_s)
            QVERIFY(QDir().mkdir(runtimeDir + u"/kovalis"_s)
                && ::chmod(QFile::encodeName(runtimeDir + u"/kovalis"_s).constData(), 0777) == 0);
        if (runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir));

        const QString cacheDir = cache == u"long"_s ? folder(u"longcache"_s, 200) : folder(u"cache"_s);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheDir));
        const QString tempDir = folder(u"tmp"_s);
        qputenv("TMPDIR", QFile::encodeName(tempDir));
        const QString ownTemp = tempDir + u"/kovalis-"_s + QString::number(::getuid());
        if (temp == u"link"_s)
            QVERIFY(QFile::link(elsewhere.path(), ownTemp));
        else if (temp == u"other"_s) {
            if (::geteuid() != 0)
                QSKIP("giving a folder to another user needs root");
            othersFolder(ownTemp);
        }

        if (expected == u"none"_s) {
            QVERIFY_THROWS_EXCEPTION(Failure, HandoffFolder::privateFolder());
            QVERIFY_THROWS_EXCEPTION(Failure, SingleInstance(m_program.path()).tryBecomePrimary());
            QString error;
            QCOMPARE(sendToRunningInstance(m_program.path(), u"a"_s, 300, &error), HandoffResult::NoAnswer);
            QVERIFY2(error.contains(u"只属于当前用户"_s), qPrintable(error));
            return;
        }
        const QString found = HandoffFolder::privateFolder();
        const QString wanted = expected == u"runtime"_s ? runtimeDir + u"/kovalis"_s
            : expected == u"cache"_s                    ? cacheDir + u"/kovalis"_s
                                                        : ownTemp;
        QCOMPARE(found, wanted);
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(found).constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_mode & 0777, 0700u);
        QCOMPARE(st.st_uid, ::getuid());

        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryBecomePrimary());
        QStringList received;
        primary.setExecuteHandler([&](const QString &text) {
            received.append(text);
            return true;
        });
        auto second = sendLater(m_program.path(), u"第二次启动"_s);
        QTRY_VERIFY(ready(second));
        const Outcome o = second.get();
        QVERIFY2(o.result == HandoffResult::Accepted, qPrintable(o.error));
        QCOMPARE(received, QStringList { u"第二次启动"_s });
    }

    void dataFolder_portableOnlyOutsideTheSystem_data()
    {
        QTest::addColumn<QString>("folder"); // "$" stands for a temporary folder with a marker file
        QTest::addColumn<bool>("system");
        QTest::addColumn<bool>("portable");
        QTest::addRow("a user's folder") << u"$"_s << false << true;
        QTest::addRow("a user's folder through a link") << u"$/link-to-self"_s << false << true;
        QTest::addRow("installed programs") << u"/usr/bin"_s << true << false;
        QTest::addRow("the installed browser's folder") << u"/usr/libexec/kovalis"_s << true << false;
        QTest::addRow("local programs") << u"/usr/local/bin"_s << true << false;
        QTest::addRow("add-on programs") << u"/opt/kovalis"_s << true << false;
        QTest::addRow("a system folder through a link") << u"$/link-to-usr-bin"_s << true << false;
        QTest::addRow("system folder by name only") << u"/usrlocal/kovalis"_s << false << false;
        QTest::addRow("package state") << u"/var/lib/kovalis"_s << true << false;
        QTest::addRow("shared temporary folder") << u"/var/tmp/kovalis"_s << false << false;
    }

    void dataFolder_portableOnlyOutsideTheSystem()
    {
        QFETCH(QString, folder);
        QFETCH(bool, system);
        QFETCH(bool, portable);
        QTemporaryDir work;
        QVERIFY(QFile(work.filePath(u"portable"_s)).open(QIODevice::WriteOnly));
        QFile::link(work.path(), work.filePath(u"link-to-self"_s));
        QFile::link(u"/usr/bin"_s, work.filePath(u"link-to-usr-bin"_s));
        folder.replace(u'$', work.path());
        QCOMPARE(DataFolder::isSystemFolder(folder), system);
        QCOMPARE(DataFolder::isPortable(folder), portable);
    }

    void dataFolder_userFolderFollowsTheDataHome()
    {
        QTemporaryDir home;
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        const QString folder = DataFolder::userFolder();
        const QString chosen = DataFolder::choose(home.path()); // no marker, no data files
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(folder, home.path() + u"/Kovalis"_s);
        QCOMPARE(chosen, folder);
    }

    void dataFolder_preparedOnceAndNamedTheSameEachTime_data()
    {
        QTest::addColumn<QString>("folder"); // "$" stands for a temporary folder
        QTest::addColumn<QString>("expected"); // empty: refused with a message
        QTest::addRow("missing, made") << u"$/a/Kovalis"_s << u"$/a/Kovalis"_s;
        QTest::addRow("existing") << u"$/data"_s << u"$/data"_s;
        QTest::addRow("through a link") << u"$/link/Kovalis"_s << u"$/data/Kovalis"_s;
        QTest::addRow("a file in the way") << u"$/file/Kovalis"_s << QString();
        QTest::addRow("relative") << u"Kovalis"_s << QString();
        QTest::addRow("none") << QString() << QString();
    }

    void dataFolder_preparedOnceAndNamedTheSameEachTime()
    {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QTemporaryDir work;
        const QString base = QFileInfo(work.path()).canonicalFilePath();
        QDir(base).mkdir(u"data"_s);
        QFile::link(base + u"/data"_s, base + u"/link"_s);
        QVERIFY(QFile(base + u"/file"_s).open(QIODevice::WriteOnly));
        folder.replace(u'$', base);
        if (expected.isEmpty()) {
            try {
                DataFolder::prepare(folder);
                QFAIL("no failure");
            } catch (const Failure &failure) {
                QVERIFY2(failure.description().contains(u"无法建立数据文件夹"_s),
                    qPrintable(failure.description()));
            }
            return;
        }
        expected.replace(u'$', base);
        QCOMPARE(DataFolder::prepare(folder), expected);
        QCOMPARE(DataFolder::prepare(folder), expected);
        QVERIFY(QFileInfo(expected).isDir());
    }

    void makeAbsoluteIfExistingFile_onlyForExistingFiles_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("madeAbsolute");
        QTest::addRow("file in the working folder") << u"主页.link"_s << true;
        QTest::addRow("file in a subfolder") << u"sub/a b.link"_s << true;
        QTest::addRow("missing file") << u"没有.link"_s << false;
        QTest::addRow("folder") << u"sub"_s << false;
        QTest::addRow("address") << u"www.example.com"_s << false;
        QTest::addRow("absolute path") << u"/etc/hostname"_s << false;
        QTest::addRow("empty") << QString() << false;
    }

    void makeAbsoluteIfExistingFile_onlyForExistingFiles()
    {
        QFETCH(QString, argument);
        QFETCH(bool, madeAbsolute);
        QTemporaryDir work;
        QDir(work.path()).mkdir(u"sub"_s);
        QVERIFY(QFile(work.filePath(u"主页.link"_s)).open(QIODevice::WriteOnly));
        QVERIFY(QFile(work.filePath(u"sub/a b.link"_s)).open(QIODevice::WriteOnly));
        const QString expected = madeAbsolute ? QString(work.path() + u'/' + argument) : argument;
        QCOMPARE(CommandLine::makeAbsoluteIfExistingFile(argument, work.path()), expected);
    }
};

// The other processes of the tests above: the same program, started with TST_HANDOFF_CHILD.
static int childMain(int argc, char **argv)
{
    const QString mode = qEnvironmentVariable("TST_HANDOFF_CHILD");
    const QString folder = qEnvironmentVariable("TST_HANDOFF_FOLDER");
    const auto say = [](const QString &line) {
        std::printf("%s\n", line.toUtf8().constData());
        std::fflush(stdout);
    };
    SingleInstance instance(folder);
    if (!instance.tryLock()) {
        // Lost the race: act as a second start, before any application object.
        QString error;
        const HandoffResult r = sendToRunningInstance(folder, u"另一个"_s, 10000, &error);
        say(r == HandoffResult::Accepted ? u"client accepted"_s : u"client failed: "_s + error);
        return 0;
    }
    if (mode == u"hold"_s) {
        // Like an instance that has the lock and is still starting: never listens.
        say(u"ready"_s);
        QThread::sleep(600);
        return 0;
    }
    QCoreApplication app(argc, argv);
    instance.listen();
    instance.setExecuteHandler([&](const QString &text) {
        say((mode == u"race"_s ? u"primary got "_s : u"got "_s) + text);
        if (mode == u"race"_s)
            QTimer::singleShot(200, &app, &QCoreApplication::quit);
        return true;
    });
    if (mode == u"race"_s)
        QTimer::singleShot(15000, &app, &QCoreApplication::quit);
    else
        say(u"ready"_s);
    return app.exec();
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("TST_HANDOFF_CHILD"))
        return childMain(argc, argv);
    QCoreApplication app(argc, argv);
    tst_Handoff test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_handoff.moc"
