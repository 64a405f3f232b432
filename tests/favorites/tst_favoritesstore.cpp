#include "failure.h"
#include "favoritesstore.h"
#include "linkfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

class TestFavoritesStore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void addFavorite_cleansAndNumbers_data();
    void addFavorite_cleansAndNumbers();
    void addFavorite_sameCaptionThreeTimes_identicalFiles();
    void addFavorite_missingFolder_created();
    void addFavorite_nameLength_data();
    void addFavorite_nameLength();

    void homeAtStartup_data();
    void homeAtStartup();
    void setAsHomepage_replacesEveryLetterCase();
    void setAsHomepage_onItself_keepsFile();
    void setAsHomepage_failingCopy_keepsOldHomepage_data();
    void setAsHomepage_failingCopy_keepsOldHomepage();

    void renameFavorite_data();
    void renameFavorite();
    void deleteFavorite_missing_fails();
    void listFiles_filesOnly_sorted();

private:
    QString folder() const { return m_store->folderPath(); }
    QString put(const QString &name, const QByteArray &bytes = "[tarvo.link]\r\nhttp://x/\r\n");
    QStringList names() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FavoritesStore> m_store;
};

void TestFavoritesStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<FavoritesStore>(m_dir->path());
    m_store->ensureFolder();
}

void TestFavoritesStore::cleanup()
{
    m_store.reset();
    m_dir.reset();
}

QString TestFavoritesStore::put(const QString &name, const QByteArray &bytes)
{
    const QString path = folder() + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

QStringList TestFavoritesStore::names() const
{
    return QDir(folder()).entryList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void TestFavoritesStore::addFavorite_cleansAndNumbers_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("expected");

    QTest::addRow("nine characters") << QStringList() << u"a/b\\c:d|e*f?g<h>i\"j"_s
                                     << u"a-b-c-d-e-f-g-h-i-j.link"_s;
    QTest::addRow("chinese and spaces kept") << QStringList() << u" 新闻. "_s << u" 新闻. .link"_s;
    QTest::addRow("empty caption") << QStringList() << QString() << u".link"_s;
    QTest::addRow("empty caption again") << QStringList { u".link"_s } << QString() << u"#.link"_s;
    QTest::addRow("other letter case taken") << QStringList { u"x.LINK"_s } << u"x"_s << u"#x.link"_s;
    QTest::addRow("folder takes the name") << QStringList { u"dir:x.link"_s } << u"x"_s << u"#x.link"_s;
    // A page titled like the homepage file never becomes the homepage, nor replaces it.
    QTest::addRow("titled 主页, no homepage") << QStringList() << u"主页"_s << u"#主页.link"_s;
    QTest::addRow("titled 主页, homepage set") << QStringList { u"主页.LINK"_s } << u"主页"_s << u"#主页.link"_s;
    QTest::addRow("titled 主页, homepage gone") << QStringList { u"#主页.link"_s } << u"主页"_s << u"##主页.link"_s;
}

void TestFavoritesStore::addFavorite_cleansAndNumbers()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, caption);
    QFETCH(QString, expected);

    for (const QString &name : std::as_const(existing)) {
        if (name.startsWith(u"dir:"_s))
            QVERIFY(QDir(folder()).mkdir(name.mid(4)));
        else
            put(name, "keep");
    }
    const QString home = m_store->homeAtStartup();
    const QString path = m_store->addFavorite(caption, u"http://x/"_s);
    QCOMPARE(path, folder() + u'/' + expected);
    QCOMPARE(m_store->homeAtStartup(), home);
    QCOMPARE(LinkFile::read(path).address, u"http://x/"_s);
    QCOMPARE(names().size(), existing.size() + 1);
}

void TestFavoritesStore::addFavorite_sameCaptionThreeTimes_identicalFiles()
{
    for (int i = 0; i < 3; ++i)
        m_store->addFavorite(u"X"_s, u" http://x/ "_s);
    QCOMPARE(names(), (QStringList { u"##X.link"_s, u"#X.link"_s, u"X.link"_s }));
    for (const QString &name : names()) {
        QFile file(folder() + u'/' + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[tarvo.link]\r\n http://x/ \r\n"));
    }
}

void TestFavoritesStore::addFavorite_missingFolder_created()
{
    QVERIFY(QDir(folder()).removeRecursively());
    m_store->addFavorite(u"a"_s, u"http://x/"_s);
    QCOMPARE(names(), QStringList { u"a.link"_s });
}

void TestFavoritesStore::addFavorite_nameLength_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("fits");

    QTest::addRow("255 bytes") << QString(250, QChar(u'a')) << true;
    QTest::addRow("256 bytes") << QString(251, QChar(u'a')) << false;
    QTest::addRow("300 bytes of chinese") << QString(100, QChar(u'中')) << false;
    QTest::addRow("84 Chinese (252 bytes, with .link too long)") << QString(84, QChar(u'中')) << false;
    QTest::addRow("1 MB") << QString(1 << 20, QChar(u'b')) << false;
}

void TestFavoritesStore::addFavorite_nameLength()
{
    QFETCH(QString, caption);
    QFETCH(bool, fits);

    if (fits) {
        m_store->addFavorite(caption, u"a"_s);
        QCOMPARE(names(), QStringList { caption + u".link"_s });
    } else {
        try {
            m_store->addFavorite(caption, u"a"_s);
            QFAIL("no Failure");
        } catch (const Failure &failure) {
            QVERIFY2(failure.description().contains(u"名称太长"_s), qPrintable(failure.description()));
        }
        QVERIFY(names().isEmpty());
    }
}

void TestFavoritesStore::homeAtStartup_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");

    QTest::addRow("none") << QStringList() << u"about:blank"_s;
    QTest::addRow("lower case") << QStringList { u"主页.link"_s } << u"主页.link"_s;
    QTest::addRow("as set from the window") << QStringList { u"主页.LINK"_s } << u"主页.LINK"_s;
    QTest::addRow("a folder is no homepage") << QStringList { u"dir:主页.link"_s } << u"about:blank"_s;
}

void TestFavoritesStore::homeAtStartup()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);

    for (const QString &name : std::as_const(existing)) {
        if (name.startsWith(u"dir:"_s))
            QVERIFY(QDir(folder()).mkdir(name.mid(4)));
        else
            put(name);
    }
    const QString full = expected == u"about:blank"_s ? expected : folder() + u'/' + expected;
    QCOMPARE(m_store->homeAtStartup(), full);
}

void TestFavoritesStore::setAsHomepage_replacesEveryLetterCase()
{
    const QString oldHome = put(u"主页.link"_s, "[tarvo.link]\r\nold\r\n");
    const QString source = put(u"a.link"_s, "[tarvo.link]\r\nnew\r\n\xD6\xD0");
    m_store->setAsHomepage(source, folder());

    QCOMPARE(names(), (QStringList { u"a.link"_s, u"主页.LINK"_s }));
    const QString home = m_store->homeAtStartup();
    QCOMPARE(home, folder() + u"/主页.LINK"_s);
    QCOMPARE(m_store->currentHomeFile(oldHome), home); // a home found at start-up still opens
    QFile file(home);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[tarvo.link]\r\nnew\r\n\xD6\xD0"));
}

void TestFavoritesStore::setAsHomepage_onItself_keepsFile()
{
    const QString home = put(u"主页.link"_s, "[tarvo.link]\r\nhome\r\n");
    m_store->setAsHomepage(home, folder());
    QCOMPARE(names(), QStringList { u"主页.link"_s });
    QCOMPARE(LinkFile::read(home).address, u"home"_s);
}

void TestFavoritesStore::setAsHomepage_failingCopy_keepsOldHomepage_data()
{
    QTest::addColumn<QString>("source");

    QTest::addRow("missing source") << u"gone.link"_s;
    QTest::addRow("folder as source") << u"dir.link"_s;
    // Opens, but reading fails at once, for root too.
    QTest::addRow("unreadable source") << u"/proc/self/mem"_s;
}

void TestFavoritesStore::setAsHomepage_failingCopy_keepsOldHomepage()
{
    QFETCH(QString, source);

    QVERIFY(QDir(folder()).mkdir(u"dir.link"_s));
    put(u"主页.LINK"_s, "[tarvo.link]\r\nold\r\n");
    const QString path = source.startsWith(u'/') ? source : folder() + u'/' + source;
    QVERIFY_THROWS_EXCEPTION(Failure, m_store->setAsHomepage(path, folder()));
    QCOMPARE(names(), (QStringList { u"dir.link"_s, u"主页.LINK"_s }));
    QCOMPARE(LinkFile::read(m_store->homeAtStartup()).address, u"old"_s);
}

void TestFavoritesStore::renameFavorite_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("unchanged name finds itself") << u"x.link"_s << QStringList { u"#x.link"_s };
    QTest::addRow("other letter case finds itself") << u"X.LINK"_s << QStringList { u"#X.LINK"_s };
    QTest::addRow("colon and slash") << u"a:b/c.link"_s << QStringList { u"a-b-c.link"_s };
    QTest::addRow("no extension added") << u"y"_s << QStringList { u"y"_s };
    QTest::addRow("empty answer keeps file") << QString() << QStringList { u"x.link"_s };
    QTest::addRow("too long") << QString(300, QChar(u'y')) << QStringList { u"x.link"_s };
}

void TestFavoritesStore::renameFavorite()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, expected);

    const QString source = put(u"x.link"_s);
    const bool fails = answer.size() > 255;
    if (fails)
        QVERIFY_THROWS_EXCEPTION(Failure, m_store->renameFavorite(source, folder(), answer));
    else
        m_store->renameFavorite(source, folder(), answer);
    QCOMPARE(names(), expected);
}

void TestFavoritesStore::deleteFavorite_missing_fails()
{
    const QString path = put(u"x.link"_s);
    m_store->deleteFavorite(path);
    QVERIFY(names().isEmpty());
    QVERIFY_THROWS_EXCEPTION(Failure, m_store->deleteFavorite(path));
    QVERIFY_THROWS_EXCEPTION(Failure, m_store->deleteFavorite(QString()));
}

void TestFavoritesStore::listFiles_filesOnly_sorted()
{
    put(u"b.link"_s);
    put(u"A.txt"_s);
    put(u".hidden"_s);
    put(u".link"_s); // made by the program for an empty title
    QVERIFY(QDir(folder()).mkdir(u"sub"_s));
    QCOMPARE(FavoritesStore::listFiles(folder()), (QStringList { u".link"_s, u"A.txt"_s, u"b.link"_s }));
}

QTEST_GUILESS_MAIN(TestFavoritesStore)
#include "tst_favoritesstore.moc"
