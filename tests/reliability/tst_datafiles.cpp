#include "failure.h"
#include "favoritesstore.h"
#include "linkfile.h"
#include "searchenginefile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Data files nobody should have to read, and folders the program cannot write: each gives a clear
// message or is passed over, and no file that exists changes.
class tst_DataFiles final : public QObject
{
    Q_OBJECT

private:
    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static QByteArray randomBytes(qsizetype size, quint32 seed)
    {
        QRandomGenerator random(seed);
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &c : bytes)
            c = char(random.bounded(256));
        return bytes;
    }

private Q_SLOTS:
    void hostileEngineFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("engines");
        const QByteArray good = "Good TheHead: http://good/?q=\r\n";
        QTest::addRow("random bytes") << randomBytes(1 << 16, 1) << -1;
        QTest::addRow("NUL bytes") << QByteArray(4096, '\0') << 0;
        QTest::addRow("NUL inside a line") << QByteArray("A\0B TheHead: http://a/\r\n", 24) << 1;
        QTest::addRow("invalid GBK") << QByteArray("\x81\x20\xff\xfe\x80 TheHead: http://x/\r\n\xa1") << 1;
        QTest::addRow("cut GBK at the end") << good + "\xb0" << 1;
        QTest::addRow("separator only") << QByteArray(" TheHead: \r\n") << 1;
        QTest::addRow("no line end, 1 MB") << QByteArray(1 << 20, 'a') << 0;
        QTest::addRow("lone CRs") << QByteArray(100000, '\r') + good << 1;
        // Many lines of 1 KB with a good engine first and last (how long a 50 MB file takes is a
        // figure of the benchmarks).
        QByteArray many = good;
        const QByteArray filler = QByteArray(1022, 'z') + "\r\n";
        for (int i = 0; i < 1024; ++i)
            many += filler;
        QTest::addRow("1 MB of long lines") << many + good << 2;
    }

    void hostileEngineFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, engines);
        QTemporaryDir program;
        const QString path = SearchEngineFile::path(program.path());
        put(path, bytes);
        const QList<Engine> loaded = SearchEngineFile::load(program.path());
        if (engines >= 0)
            QCOMPARE(loaded.size(), engines);
        for (const Engine &engine : loaded)
            QVERIFY(!engine.name.contains(u'\r') && !engine.searchString.contains(u'\n'));
        QCOMPARE(bytesOf(path), bytes);
    }

    // An engine added to a file of junk keeps the junk and comes back itself.
    void appendToJunk()
    {
        QTemporaryDir program;
        const QString path = SearchEngineFile::path(program.path());
        const QByteArray junk = randomBytes(5000, 2).replace('\r', 'r').replace('\n', 'n');
        put(path, junk);
        SearchEngineFile::append(program.path(), { u"新"_s, u"http://new/?q="_s });
        QVERIFY(bytesOf(path).startsWith(junk));
        const QList<Engine> loaded = SearchEngineFile::load(program.path());
        QVERIFY(!loaded.isEmpty());
        QCOMPARE(loaded.last().searchString, u"http://new/?q="_s);
    }

    // What append accepts, load gives back as it was; what it cannot hold, append refuses.
    void engineRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("searchString");
        QTest::addColumn<bool>("kept"); // false: append refuses it
        QTest::addRow("plain") << u"Web"_s << u"http://s/?q="_s << true;
        QTest::addRow("Chinese") << u"网页搜索"_s << u"http://s/?q="_s << true;
        QTest::addRow("name ends in ' TheHead'") << u"a TheHead"_s << u"http://s/?q="_s << true;
        QTest::addRow("name ends in ' TheHead:'") << u"a TheHead:"_s << u"http://s/?q="_s << false;
        QTest::addRow("search string starts with 'TheHead: '") << u"a"_s << u"TheHead: http://s/"_s << true;
        QTest::addRow("search string with a NUL") << u"a"_s << u"http://s/?q=\0x"_s << true;
        QTest::addRow("GB18030 bytes that are also UTF-8") << u"\u777e"_s << u"http://s/?q="_s << true;
        QTest::addRow("name with a NUL") << u"a\0b"_s << u"http://s/?q="_s << true;
        QTest::addRow("name starts with a byte-order mark") << u"\uFEFFa"_s << u"http://s/?q="_s << false;
    }

    void engineRoundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, searchString);
        QFETCH(bool, kept);
        QTemporaryDir program;
        try {
            SearchEngineFile::append(program.path(), { name, searchString });
            QVERIFY2(kept, "appended what reads back as another engine");
        } catch (const Failure &failure) {
            QVERIFY2(!kept, qPrintable(failure.description()));
            QVERIFY(!failure.description().isEmpty());
            return;
        }
        const QList<Engine> loaded = SearchEngineFile::load(program.path());
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().name, name);
        QCOMPARE(loaded.first().searchString, searchString);
    }

    void randomLinkFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"x.link"_s);
        int formatErrors = 0;
        for (quint32 seed = 0; seed < 300; ++seed) {
            put(path, randomBytes(qsizetype(seed * 7), seed));
            try {
                formatErrors += LinkFile::read(path).formatError ? 1 : 0;
            } catch (const Failure &failure) {
                QVERIFY(!failure.description().isEmpty());
            }
        }
        QCOMPARE(formatErrors, 299); // all but the empty one
    }

    // How long 10,000 favorites take is a figure of the benchmarks; the order and the naming are
    // the same for a few hundred.
    void manyFavorites()
    {
        QTemporaryDir program;
        const FavoritesStore store(program.path());
        store.ensureFolder();
        const QByteArray link = LinkFile::compose(u"http://x/"_s);
        for (int i = 0; i < 300; ++i)
            put(store.folderPath() + u"/%1.link"_s.arg(i, 5, 10, QLatin1Char('0')), link);
        const QStringList names = FavoritesStore::listFiles(store.folderPath());
        QCOMPARE(names.size(), 300);
        QCOMPARE(names.first(), u"00000.link"_s);
        QCOMPARE(names.last(), u"00299.link"_s);
        // Taken names are passed over in one read of the folder.
        const QString added = store.addFavorite(u"00042"_s, u"http://y/"_s);
        QCOMPARE(QFileInfo(added).fileName(), u"#00042.link"_s);
        QCOMPARE(FavoritesStore::listFiles(store.folderPath()).size(), 301);
    }

    // Nobody can create files under /proc, not even root; file modes would not stop root.
    void readOnlyProgramFolder_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addRow("favorite") << u"favorite"_s;
        QTest::addRow("engine file") << u"engine"_s;
        QTest::addRow("new engine") << u"append"_s;
    }

    void readOnlyProgramFolder()
    {
        QFETCH(QString, what);
        const QString program = u"/proc/self"_s;
        const FavoritesStore store(program);
        try {
            if (what == u"favorite"_s)
                store.addFavorite(u"a"_s, u"http://a/"_s);
            else if (what == u"engine"_s)
                SearchEngineFile::load(program);
            else
                SearchEngineFile::append(program, { u"E"_s, u"http://e/"_s });
            QFAIL("no Failure");
        } catch (const Failure &failure) {
            QVERIFY(!failure.description().isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(tst_DataFiles)
#include "tst_datafiles.moc"
