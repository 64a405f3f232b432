#include "bookmarks.h"
#include "bookmarksmenu.h"
#include "failure.h"
#include "favoritesstore.h"
#include "form2.h"
#include "history.h"
#include "historystore.h"
#include "linkfile.h"
#include "scripteddialogs.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString dataFile(const QString &name)
{
    return QStringLiteral(KOVALIS_TEST_DATA) + u'/' + name;
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A places.sqlite with Firefox's own tables and roots, left open in WAL mode as a running
// Firefox leaves it: the last bookmark is still only in the journal.
class FirefoxProfile
{
public:
    explicit FirefoxProfile(const QString &path)
        : m_connection(u"firefox-"_s + path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        const QString statements[] = {
            u"PRAGMA journal_mode=WAL"_s,
            u"PRAGMA wal_autocheckpoint=0"_s,
            u"PRAGMA user_version=77"_s,
            u"CREATE TABLE moz_origins ( id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL, "
            "frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, "
            "recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, UNIQUE (prefix, host) )"_s,
            u"CREATE TABLE moz_places (   id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
            "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, typed "
            "INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER , "
            "guid "
            "TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL , "
            "description "
            "TEXT, preview_image_url TEXT, site_name TEXT, origin_id INTEGER REFERENCES moz_origins(id), "
            "recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, recalc_alt_frecency INTEGER "
            "NOT "
            "NULL DEFAULT 0)"_s,
            u"CREATE TABLE moz_bookmarks (  id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, "
            u"parent "
            "INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, dateAdded "
            "INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0, "
            "syncChangeCounter "
            "INTEGER NOT NULL DEFAULT 1)"_s,
            u"INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES "
            "(1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'), "
            "(3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'), "
            "(5, 2, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, 1, 4, 'mobile', 'mobile______')"_s,
            u"INSERT INTO moz_places (id, url, title, rev_host, guid, foreign_count) VALUES "
            "(1, 'https://news.sina.com.cn/', '新浪新闻 - 新浪网', 'nc.moc.anis.swen.', 'p1', 2), "
            "(2, 'https://mail.example.com/', 'Mail', 'moc.elpmaxe.liam.', 'p2', 1), "
            "(3, 'place:sort=8&maxResults=10', NULL, NULL, 'p3', 1), "
            "(4, 'https://late.example/', 'Late', 'elpmaxe.etal.', 'p4', 1)"_s,
            u"INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES "
            "(10, 1, 1, 3, 0, '新浪新闻', 'b10'), "
            "(11, 2, NULL, 2, 0, '工作', 'b11'), (12, 1, 2, 11, 0, '邮箱', 'b12'), "
            "(13, 3, NULL, 2, 1, NULL, 'b13'), (14, 1, 3, 2, 2, '最近使用的标签', 'b14'), "
            "(15, 2, NULL, 4, 0, '新闻', 'b15'), (16, 1, 1, 15, 0, NULL, 'b16')"_s,
        };
        for (const QString &statement : statements)
            QVERIFY2(q.exec(statement), qPrintable(statement));
        QVERIFY(q.exec(u"PRAGMA wal_checkpoint(TRUNCATE)"_s));
        // Only in the journal, as Firefox's latest change would be.
        QVERIFY(q.exec(u"INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) "
                       "VALUES (17, 1, 4, 5, 0, '最新', 'b17')"_s));
        m_ok = true;
    }
    ~FirefoxProfile()
    {
        QSqlDatabase::database(m_connection).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    bool ok() const { return m_ok; }

private:
    QString m_connection;
    bool m_ok = false;
};

} // namespace

class TestBookmarks final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void import_data();
    void import();
    void import_firefoxInUse_readsJournal_leavesFileAlone();
    void import_wrongKind_writesNothing_data();
    void import_wrongKind_writesNothing();
    void import_bounds_data();
    void import_bounds();
    void import_neverOverwrites();
    void exportThenImport_sameFavorites();
    void commandLine_data();
    void commandLine();
    void favoritesList_menuImportsAndExports();

private:
    QStringList favorites() const;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FavoritesStore> m_store;
};

void TestBookmarks::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<FavoritesStore>(m_dir->path());
}

// "name → address" for every file of the favorites folder, sorted.
QStringList TestBookmarks::favorites() const
{
    QStringList out;
    const QString folder = m_store->folderPath();
    for (const QString &name : FavoritesStore::listFiles(folder))
        out.append(name + u" → "_s + LinkFile::read(folder + u'/' + name).address);
    out.sort();
    return out;
}

void TestBookmarks::import_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("skipped");
    QTest::addRow("Chromium Bookmarks") << dataFile(u"chromium-Bookmarks"_s)
                                        << QStringList { u"example.org.link → http://example.org/no-title"_s,
                                               u"工作 - 文档 - 周报.link → https://docs.example.com/weekly"_s,
                                               u"工作 - 邮箱.link → https://mail.example.com/?a=1&b=2"_s,
                                               u"百度一下，你就知道.link → https://www.baidu.com/"_s }
                                        << 1;
    // Written by Debian's Chromium 156 importing chromium-real-Bookmarks.html on its first run
    // (tests/history/chromium-import.sh): what lay outside the bar went into its folder "Imported".
    QTest::addRow("Bookmarks written by Chromium")
        << dataFile(u"chromium-real-Bookmarks"_s)
        << QStringList { u"百度一下，你就知道.link → https://www.baidu.com/"_s,
               u"工作 - 邮箱.link → https://mail.example.com/?a=1&b=2"_s,
               u"工作 - 文档 - 周报.link → https://docs.example.com/weekly"_s,
               u"个人 - 邮箱.link → https://mail.example.org/"_s,
               u"Imported - example.org.link → http://example.org/no-title"_s,
               u"Imported - \"引号\" <标签> & 日历.link → "
               "https://xn--fsqu00a.xn--0zwm56d/%E8%B7%AF%E5%BE%84?q=%E4%B8%AD%E6%96%87"_s,
               u"Imported - 本地 说明.link → "
               "file:///home/%E7%94%A8%E6%88%B7/%E6%96%87%E6%A1%A3/%E8%AF%B4%E6%98%8E.html"_s,
               u"Imported - FTP 站点.link → ftp://ftp.example.org/pub/"_s,
               u"Imported - 百度一下，你就知道.link → https://www.baidu.com/"_s }
        << 2;
    QTest::addRow("bookmarks.html from Chromium")
        << dataFile(u"chromium-bookmarks.html"_s)
        << QStringList { u"\"引号\" <标签> 中文.link → http://example.org/quote"_s,
               u"工作 - 邮箱 & 日历.link → https://mail.example.com/?a=1&b=2"_s,
               u"百度一下，你就知道.link → https://www.baidu.com/"_s }
        << 1;
    QTest::addRow("bookmarks.html from Firefox")
        << dataFile(u"firefox-bookmarks.html"_s)
        << QStringList { u"Example Domain.link → https://example.org/"_s,
               u"工作 - 邮箱.link → https://mail.example.com/"_s,
               u"新浪新闻.link → https://news.sina.com.cn/"_s }
        << 1;
}

void TestBookmarks::import()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    QFETCH(int, skipped);
    const Bookmarks::Report report = Bookmarks::importFile(file, *m_store);
    // Names go through the store's own cleaning: '"', '<' and '>' become '-'.
    QStringList cleaned;
    for (QString line : expected) {
        const qsizetype arrow = line.indexOf(u" → "_s);
        cleaned.append(FavoritesStore::cleanName(line.left(arrow)) + line.mid(arrow));
    }
    cleaned.sort();
    QCOMPARE(favorites(), cleaned);
    QCOMPARE(report.added, expected.size());
    QCOMPARE(report.skipped, skipped);
}

void TestBookmarks::import_firefoxInUse_readsJournal_leavesFileAlone()
{
    const QString places = m_dir->filePath(u"places.sqlite"_s);
    FirefoxProfile firefox(places);
    QVERIFY(firefox.ok());
    QVERIFY(QFile::exists(places + u"-wal"_s));
    const QByteArray before = hashOf(places);
    const QByteArray walBefore = hashOf(places + u"-wal"_s);

    const Bookmarks::Report report = Bookmarks::importFile(places, *m_store);
    // Tags repeat bookmarks and are left out; the place: query is no page; the root folders
    // give no names.
    QCOMPARE(favorites(),
        (QStringList { u"工作 - 邮箱.link → https://mail.example.com/"_s,
            u"新浪新闻.link → https://news.sina.com.cn/"_s, u"最新.link → https://late.example/"_s }));
    QCOMPARE(report.added, 3);
    QCOMPARE(report.skipped, 1);
    QCOMPARE(hashOf(places), before);
    QCOMPARE(hashOf(places + u"-wal"_s), walBefore);
}

void TestBookmarks::import_wrongKind_writesNothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::addRow("picture") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << u"无法识别书签文件"_s;
    QTest::addRow("plain text") << QByteArray("百度 https://www.baidu.com/\n") << u"无法识别书签文件"_s;
    QTest::addRow("empty") << QByteArray() << u"无法识别书签文件"_s;
    QTest::addRow("JSON of another kind")
        << QByteArray(R"({"name": "x", "children": []})") << u"Chromium/Chrome 的书签文件"_s;
    QTest::addRow("cut-off JSON") << QByteArray(R"({"roots": {"bookmark_bar": {"children": [)")
                                  << u"Chromium/Chrome 的书签文件"_s;
    QTest::addRow("another SQLite database") << QByteArray() << u"Firefox 的书签数据库"_s;
}

void TestBookmarks::import_wrongKind_writesNothing()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    const QString path = m_dir->filePath(u"input"_s);
    if (QTest::currentDataTag() == QByteArray("another SQLite database")) {
        // The history file is SQLite too, but holds no bookmarks.
        HistoryStore store(path);
        QVERIFY(store.open().isEmpty());
        store.record(u"https://example.com/"_s, u"x"_s, 1);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    try {
        Bookmarks::importFile(path, *m_store);
        QFAIL("imported a file of the wrong kind");
    } catch (const Failure &failure) {
        QVERIFY2(failure.description().contains(message), qPrintable(failure.description()));
    }
    QVERIFY(!QFileInfo::exists(m_store->folderPath()) || favorites().isEmpty());
}

void TestBookmarks::import_bounds_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("longestName"); // in UTF-8 bytes, before ".link"
    const QByteArray head = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    QByteArray deep = head;
    for (int i = 0; i < 40; ++i)
        deep += "<DT><H3>F</H3>\n<DL><p>\n<DT><A HREF=\"http://d" + QByteArray::number(i)
            + ".example/\">x</A>\n";
    QTest::addRow("nesting deeper than the bound")
        << deep << Bookmarks::maxDepth - 1 << 40 - (Bookmarks::maxDepth - 1) << -1;
    QTest::addRow("long Chinese name cut to the file system's limit")
        << head + "<DT><A HREF=\"http://long.example/\">" + QString(300, u'长').toUtf8() + "</A>\n"
        << 1 << 0 << Bookmarks::maxNameBytes - 2;
    QTest::addRow("line break or control character in the address") << head
            + "<DT><A HREF=\"http://a.example/&#13;&#10;evil\">a</A>\n<DT><A "
              "HREF=\"http://b.example/\x01\">b</A>\n" << 0 << 2 << -1;
    QTest::addRow("huge address") << head + "<DT><A HREF=\"http://c.example/" + QByteArray(9000, 'c')
            + "\">c</A>\n" << 0 << 1
                                  << -1;
    QTest::addRow("homepage named by another browser stays an ordinary favorite") << head
            + "<DT><A HREF=\"http://home.example/\">主页</A>\n" << 1 << 0 << -1;
    QTest::addRow("unclosed tags and attributes")
        << head + "<DT><A HREF=\"http://u.example/\" ADD_DATE=\"1\">u</A>\n<DT><A HR" << 1 << 1 << -1;
}

void TestBookmarks::import_bounds()
{
    QFETCH(QByteArray, html);
    QFETCH(int, added);
    QFETCH(int, skipped);
    QFETCH(int, longestName);
    const QString path = m_dir->filePath(u"bookmarks.html"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(html);
    file.close();
    const Bookmarks::Report report = Bookmarks::importFile(path, *m_store);
    QCOMPARE(report.added, added);
    QCOMPARE(report.skipped, skipped);
    QCOMPARE(m_store->homeAtStartup(), u"about:blank"_s);
    if (longestName >= 0) {
        int longest = 0;
        for (const QString &name : FavoritesStore::listFiles(m_store->folderPath()))
            longest = qMax(longest, int(QFileInfo(name).completeBaseName().toUtf8().size()));
        QVERIFY(longest <= Bookmarks::maxNameBytes);
        QVERIFY(longest >= longestName);
    }
}

void TestBookmarks::import_neverOverwrites()
{
    m_store->addFavorite(u"百度一下，你就知道"_s, u"https://mine.example/"_s);
    QVERIFY(m_store->addHomepageIfNone(u"https://home.example/"_s));
    const Bookmarks::Report report = Bookmarks::importFile(dataFile(u"chromium-bookmarks.html"_s), *m_store);
    QCOMPARE(report.added, 3);
    const QStringList all = favorites();
    QVERIFY(all.contains(u"百度一下，你就知道.link → https://mine.example/"_s));
    QVERIFY(all.contains(u"#百度一下，你就知道.link → https://www.baidu.com/"_s));
    QVERIFY(all.contains(u"主页.LINK → https://home.example/"_s));
}

void TestBookmarks::exportThenImport_sameFavorites()
{
    m_store->addFavorite(u"百度一下，你就知道"_s, u"https://www.baidu.com/"_s);
    m_store->addFavorite(u"工作 - 邮箱 & 日历"_s, u"https://mail.example.com/?a=1&b=2"_s);
    m_store->addFavorite(u"'引号' 与 #号"_s, u"http://example.org/a b?q=\"x\""_s);
    // A file put into the folder by hand may have a line break in its name or address.
    m_store->addFavorite(u"第一\n行"_s, u"https://lines.example/a\nb"_s);
    const QString home = m_store->addFavorite(u"新浪新闻"_s, u"https://news.sina.com.cn/"_s);
    m_store->setAsHomepage(home, m_store->folderPath());
    // The day a favorite was added goes out, not the day of the export.
    const QString baidu = m_store->folderPath() + u"/百度一下，你就知道.link"_s;
    {
        QFile file(baidu);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(
            file.setFileTime(QDateTime::fromSecsSinceEpoch(1500000000), QFileDevice::FileModificationTime));
    }
    const QStringList before = favorites();

    const QString html = m_dir->filePath(u"exported.html"_s);
    QCOMPARE(Bookmarks::exportFile(html, *m_store), before.size());
    QFile file(html);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("<!DOCTYPE NETSCAPE-Bookmark-file-1>"));
    QVERIFY(text.contains("HREF=\"https://news.sina.com.cn/\" ADD_DATE="));
    QVERIFY(text.contains("HREF=\"https://www.baidu.com/\" ADD_DATE=\"1500000000\">"));
    // Browsers read the file line by line: each bookmark must be whole on its line.
    for (const QByteArray &line : text.split('\n')) {
        if (line.contains("<A ") || line.contains("</A>"))
            QVERIFY2(line.contains("<DT><A ") && line.endsWith("</A>"), line.constData());
    }

    QTemporaryDir other;
    FavoritesStore fresh(other.path());
    const Bookmarks::Report report = Bookmarks::importFile(html, fresh);
    QCOMPARE(report.added, before.size());
    QCOMPARE(report.skipped, 0);
    m_store = std::make_unique<FavoritesStore>(other.path());
    const QStringList after = favorites();
    // The homepage comes back as the homepage; the line break went out as a space.
    QStringList expected = before;
    for (QString &line : expected) {
        line.replace(
            u"第一\n行.link → https://lines.example/a\nb"_s, u"第一 行.link → https://lines.example/ab"_s);
    }
    expected.sort();
    QCOMPARE(after, expected);
    QVERIFY(fresh.homeAtStartup() != u"about:blank"_s);
}

void TestBookmarks::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("favoritesAfter");
    QTest::addRow("import") << QStringList { u"--import-bookmarks"_s, dataFile(u"chromium-Bookmarks"_s) } << 0
                            << 5;
    QTest::addRow("export") << QStringList { u"--export-bookmarks"_s, u"out.html"_s } << 0 << 1;
    QTest::addRow("missing file") << QStringList { u"--import-bookmarks"_s, u"nowhere/Bookmarks"_s } << 1
                                  << 1;
    QTest::addRow("wrong kind") << QStringList { u"--import-bookmarks"_s,
        dataFile(u"../tst_bookmarks.cpp"_s) }
                                << 1 << 1;
    QTest::addRow("no file") << QStringList { u"--import-bookmarks"_s } << 2 << 1;
}

void TestBookmarks::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(int, favoritesAfter);
    m_store->addFavorite(u"Mine"_s, u"https://mine.example/"_s);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    QVERIFY(BookmarksMenu::isCommandLine(arguments));
    const int result = BookmarksMenu::commandLine(arguments, m_dir->path());
    QDir::setCurrent(previous);
    QCOMPARE(result, status);
    QCOMPARE(favorites().size(), favoritesAfter);
    if (arguments.first() == u"--export-bookmarks"_s) {
        QTemporaryDir other;
        FavoritesStore fresh(other.path());
        QCOMPARE(Bookmarks::importFile(m_dir->filePath(u"out.html"_s), fresh).added, 1);
    }
    QVERIFY(!BookmarksMenu::isCommandLine({ u"http://example.com/"_s }));
}

void TestBookmarks::favoritesList_menuImportsAndExports()
{
    ScriptedDialogs dialogs;
    m_store->ensureFolder();
    auto *window = new Form2(*m_store, dialogs, [](const QString &) {});
    QStringList files { dataFile(u"chromium-Bookmarks"_s), m_dir->filePath(u"out.html"_s), QString() };
    BookmarksMenu::attach(window, *m_store, dialogs, [&files](bool) { return files.takeFirst(); });
    BookmarksMenu::attach(window, *m_store, dialogs); // a second time adds nothing
    const QList<QAction *> actions = window->fileList()->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions.at(0)->text(), u"导入书签…"_s);
    QCOMPARE(actions.at(1)->text(), u"导出书签…"_s);
    QCOMPARE(window->fileList()->contextMenuPolicy(), Qt::ActionsContextMenu);

    actions.at(0)->trigger();
    QCOMPARE(dialogs.messages, QStringList { u"导入了 4 个书签，跳过了 1 个。"_s });
    QCOMPARE(window->fileList()->count(), 4);
    actions.at(1)->trigger();
    QCOMPARE(dialogs.messages.size(), 2);
    QVERIFY(dialogs.messages.at(1).startsWith(u"已把 4 个收藏导出到"_s));
    QVERIFY(QFileInfo::exists(m_dir->filePath(u"out.html"_s)));
    actions.at(0)->trigger(); // cancelled: nothing happens
    QCOMPARE(dialogs.messages.size(), 2);
    delete window;
}

QTEST_MAIN(TestBookmarks)
#include "tst_bookmarks.moc"
