#include "commandline.h"
#include "failure.h"
#include "handoff.h"
#include "handofffolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>
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
std::future<Outcome> sendLater(const QString &folder, const QString &text, int timeoutMs = 5000)
{
    return std::async(std::launch::async, [=] {
        Outcome o;
        o.result = sendToRunningInstance(folder, text, timeoutMs, &o.error);
        return o;
    });
}

bool ready(const std::future<Outcome> &f)
{
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

QByteArray framed(quint32 length, const QByteArray &payload)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(length, bytes.data());
    return bytes + payload;
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
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
    }

    void cleanup()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
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

    void noListener_noAnswerWithinTheBound_data()
    {
        QTest::addColumn<bool>("deadSocket");
        QTest::addColumn<bool>("lockHeld");
        QTest::addRow("nothing running") << false << false;
        QTest::addRow("socket of a dead instance") << true << false;
        QTest::addRow("lock held, never listening") << false << true;
    }

    void noListener_noAnswerWithinTheBound()
    {
        QFETCH(bool, deadSocket);
        QFETCH(bool, lockHeld);
        SingleInstance holder(m_program.path());
        if (lockHeld)
            QVERIFY(holder.tryLock());
        if (deadSocket)
            leaveDeadSocket(HandoffFolder::serverName(m_program.path()));
        QElapsedTimer clock;
        clock.start();
        QString error;
        QCOMPARE(sendToRunningInstance(m_program.path(), u"a"_s, 600, &error), HandoffResult::NoAnswer);
        QVERIFY(clock.elapsed() < 600 + 2000);
        QVERIFY(error.contains(u"没有回应"_s));
        QFile::remove(HandoffFolder::serverName(m_program.path()));
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
        QTest::addColumn<bool>("waitsForTimeout");
        QTest::addRow("silent") << QByteArray() << true;
        QTest::addRow("half a length") << QByteArray(2, '\0') << true;
        QTest::addRow("shorter than announced") << framed(10, "abc") << true;
        QTest::addRow("length beyond the bound") << QByteArray("\xff\xff\xff\xff") << false;
        QTest::addRow("one byte over the bound") << framed(32769, QByteArray(32769, 'a')) << false;
        QTest::addRow("longer than announced") << framed(1, "ab") << false;
        QTest::addRow("invalid UTF-8") << framed(2, "\xc3\x28") << false;
        QTest::addRow("NUL inside") << framed(3, QByteArray("a\0b", 3)) << false;
        QTest::addRow("zero length") << framed(0, QByteArray()) << false;
    }

    void hostileClients_areDroppedWithoutBlocking()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, waitsForTimeout);
        SingleInstance primary(m_program.path());
        QVERIFY(primary.tryBecomePrimary());
        primary.setClientTimeout(500);
        QStringList received;
        primary.setExecuteHandler([&](const QString &s) {
            received.append(s);
            return true;
        });
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(20);

        QLocalSocket hostile;
        hostile.connectToServer(HandoffFolder::serverName(m_program.path()));
        QVERIFY(hostile.waitForConnected(1000));
        hostile.write(bytes);
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(hostile.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(hostile.readAll(), QByteArray());
        // A client that waits is dropped by a timer while everything else goes on.
        if (waitsForTimeout)
            QVERIFY(clock.elapsed() >= 400 && ticks >= 5);

        auto good = sendLater(m_program.path(), u"好"_s);
        QTRY_VERIFY(ready(good));
        QCOMPARE(good.get().result, HandoffResult::Accepted);
        QCOMPARE(received, QStringList { u"好"_s });
    }

    void privateFolder_isOursAlone_data()
    {
        QTest::addColumn<QString>("runtimeMode");
        QTest::addColumn<bool>("underRuntime");
        QTest::addRow("runtime folder private") << u"0700"_s << true;
        QTest::addRow("runtime folder open to others") << u"0755"_s << false;
        QTest::addRow("runtime folder missing") << u"missing"_s << false;
        QTest::addRow("runtime folder unset") << QString() << false;
    }

    void privateFolder_isOursAlone()
    {
        QFETCH(QString, runtimeMode);
        QFETCH(bool, underRuntime);
        QTemporaryDir runtime;
        if (runtimeMode == u"missing"_s)
            QVERIFY(runtime.remove());
        else if (!runtimeMode.isEmpty())
            QCOMPARE(
                ::chmod(QFile::encodeName(runtime.path()).constData(), runtimeMode.toUInt(nullptr, 8)), 0);
        if (runtimeMode.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString folder = HandoffFolder::privateFolder();
        const QString expected = underRuntime
            ? runtime.path() + u"/kovalis"_s
            : QString(m_temp.path() + u"/kovalis-"_s + QString::number(::getuid()));
        QCOMPARE(folder, expected);
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
    }

    void privateFolder_refusesAFolderNotOursAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addRow("open to others") << u"open"_s;
        QTest::addRow("a link") << u"link"_s;
        QTest::addRow("a file") << u"file"_s;
    }

    void privateFolder_refusesAFolderNotOursAlone()
    {
        QFETCH(QString, kind);
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString planted = runtime.path() + u"/kovalis"_s;
        QTemporaryDir elsewhere;
        if (kind == u"open"_s)
            QVERIFY(QDir().mkdir(planted) && ::chmod(QFile::encodeName(planted).constData(), 0777) == 0);
        else if (kind == u"link"_s)
            QVERIFY(QFile::link(elsewhere.path(), planted));
        else
            QVERIFY(QFile(planted).open(QIODevice::WriteOnly));
        QVERIFY_THROWS_EXCEPTION(Failure, HandoffFolder::privateFolder());
        QVERIFY_THROWS_EXCEPTION(Failure, SingleInstance(m_program.path()).tryBecomePrimary());
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
        QFile(work.filePath(u"主页.link"_s)).open(QIODevice::WriteOnly);
        QFile(work.filePath(u"sub/a b.link"_s)).open(QIODevice::WriteOnly);
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
