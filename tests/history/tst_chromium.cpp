#include "bookmarks.h"
#include "bookmarksmenu.h"
#include "favoritesstore.h"
#include "linkfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The favorites go out as `kovalis --export-bookmarks` writes them and into the installed Chromium
// through its own import (tests/history/chromium-import.sh); what Chromium then keeps in its Bookmarks
// file must be the same names and addresses, and that file must come back in as the same favorites.
// Skipped where Chromium is not installed.

namespace {

struct Favorite
{
    const char *tag;
    QString caption; // as the user named it
    QString address; // as the link file holds it
    QString name; // the link file's name, which goes out
    QString inChromium; // the address as Chromium keeps it
    bool home = false;
    QString nameInChromium = name; // where Chromium shows it otherwise
};

const QList<Favorite> &favorites()
{
    static const QList<Favorite> list {
        { "Chinese name", u"百度一下，你就知道"_s, u"https://www.baidu.com/"_s, u"百度一下，你就知道"_s,
            u"https://www.baidu.com/"_s },
        { "ampersands", u"工作 - 邮箱 & 日历"_s, u"https://mail.example.com/?a=1&b=2"_s,
            u"工作 - 邮箱 & 日历"_s, u"https://mail.example.com/?a=1&b=2"_s },
        { "quotes, space and # in the address", u"'引号' 与 #号"_s, u"http://example.org/a b?q=\"x\""_s,
            u"'引号' 与 #号"_s, u"http://example.org/a%20b?q=%22x%22"_s },
        { "characters a file name cannot hold", u"\"书\" <签> a/b"_s, u"https://clean.example/"_s,
            u"-书- -签- a-b"_s, u"https://clean.example/"_s },
        { "an entity as text", u"&amp; 与 &#20013;"_s, u"https://entity.example/"_s, u"&amp; 与 &#20013;"_s,
            u"https://entity.example/"_s },
        { "Chinese domain and path", u"中文域名"_s, u"https://例子.测试/路径?q=中文"_s, u"中文域名"_s,
            u"https://xn--fsqu00a.xn--0zwm56d/%E8%B7%AF%E5%BE%84?q=%E4%B8%AD%E6%96%87"_s },
        { "local file", u"本地文件"_s, u"file:///tmp/文件 1.html"_s, u"本地文件"_s,
            u"file:///tmp/%E6%96%87%E4%BB%B6%201.html"_s },
        { "outside the basic plane", u"😀 表情 𠀀"_s, u"https://emoji.example/"_s, u"😀 表情 𠀀"_s,
            u"https://emoji.example/"_s },
        // Only files put into the folder by hand have these.
        { "line break in the name", u"第一\n行\t二"_s, u"https://lines.example/"_s, u"第一\n行\t二"_s,
            u"https://lines.example/"_s, false, u"第一 行 二"_s },
        { "line break in the address", u"断行地址"_s, u"https://lines.example/a\nb"_s, u"断行地址"_s,
            u"https://lines.example/ab"_s },
        { "homepage", u"新浪新闻"_s, u"https://news.sina.com.cn/"_s, u"新浪新闻"_s,
            u"https://news.sina.com.cn/"_s, true },
    };
    return list;
}

// Chromium counts microseconds from 1601.
qint64 chromiumTime(qint64 secondsSince1970)
{
    return (secondsSince1970 + 11'644'473'600LL) * 1'000'000LL;
}

qint64 addedAt(int row)
{
    return 1'600'000'000LL + row * 86'400LL;
}

struct Kept
{
    QString address;
    qint64 added = 0;
};

void collect(const QJsonObject &node, QMultiHash<QString, Kept> &out)
{
    if (node.value(u"type"_s).toString() == u"url"_s) {
        out.insert(node.value(u"name"_s).toString(),
            { node.value(u"url"_s).toString(), node.value(u"date_added"_s).toString().toLongLong() });
        return;
    }
    for (const QJsonValue &child : node.value(u"children"_s).toArray())
        collect(child.toObject(), out);
}

} // namespace

class TestChromium final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void favorite_keptByChromium_data();
    void favorite_keptByChromium();
    void chromiumFile_importsAsTheSameFavorites();

private:
    QTemporaryDir m_dir;
    QString m_bookmarksFile;
    QMultiHash<QString, Kept> m_kept;
};

void TestChromium::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkdir(u"data"_s));
    const FavoritesStore store(m_dir.filePath(u"data"_s));
    store.ensureFolder();
    for (int i = 0; i < favorites().size(); ++i) {
        const Favorite &f = favorites().at(i);
        const QString path = store.addFavorite(f.caption, f.address);
        QCOMPARE(QFileInfo(path).completeBaseName(), f.name);
        QStringList files { path };
        if (f.home) {
            store.setAsHomepage(path, store.folderPath());
            files.append(store.homeAtStartup());
        }
        for (const QString &name : files) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(
                QDateTime::fromSecsSinceEpoch(addedAt(i)), QFileDevice::FileModificationTime));
        }
    }

    const QString html = m_dir.filePath(u"bookmarks.html"_s);
    QCOMPARE(BookmarksMenu::commandLine({ u"--export-bookmarks"_s, html }, store.dataFolder()), 0);

    QProcess chromium;
    chromium.start(
        u"bash"_s, { QStringLiteral(KOVALIS_CHROMIUM_IMPORT), html, m_dir.filePath(u"chromium"_s) });
    QVERIFY(chromium.waitForFinished(240'000));
    const QString errors = QString::fromUtf8(chromium.readAllStandardError()).trimmed();
    if (chromium.exitStatus() == QProcess::NormalExit && chromium.exitCode() == 77)
        QSKIP(qPrintable(errors));
    if (!errors.isEmpty())
        qWarning().noquote() << errors;
    if (chromium.exitStatus() != QProcess::NormalExit || chromium.exitCode() != 0) {
        m_dir.setAutoRemove(false); // Chromium's profile and log, to look at
        QFAIL(qPrintable(u"Chromium did not import the file; what it left is in "_s + m_dir.path()));
    }
    m_bookmarksFile = QString::fromUtf8(chromium.readAllStandardOutput()).trimmed();

    QFile file(m_bookmarksFile);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(m_bookmarksFile));
    const QJsonObject roots = QJsonDocument::fromJson(file.readAll()).object().value(u"roots"_s).toObject();
    for (auto it = roots.begin(); it != roots.end(); ++it)
        collect(it.value().toObject(), m_kept);
    QVERIFY2(!m_kept.isEmpty(), qPrintable(m_bookmarksFile));
}

void TestChromium::favorite_keptByChromium_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<qint64>("added");
    for (int i = 0; i < favorites().size(); ++i) {
        const Favorite &f = favorites().at(i);
        QTest::addRow("%s", f.tag) << f.nameInChromium << f.inChromium << chromiumTime(addedAt(i));
        if (f.home) {
            QTest::addRow("%s under its own name", f.tag)
                << QFileInfo(FavoritesStore::homeFileName()).completeBaseName() << f.inChromium
                << chromiumTime(addedAt(i));
        }
    }
}

void TestChromium::favorite_keptByChromium()
{
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(qint64, added);
    const QList<Kept> kept = m_kept.values(name);
    QVERIFY2(!kept.isEmpty(), qPrintable(u"Chromium has no bookmark named “%1”"_s.arg(name)));
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept.first().address, address);
    QCOMPARE(kept.first().added, added);
}

void TestChromium::chromiumFile_importsAsTheSameFavorites()
{
    QTemporaryDir other;
    const FavoritesStore fresh(other.path());
    const Bookmarks::Report report = Bookmarks::importFile(m_bookmarksFile, fresh);
    QStringList expected;
    for (const Favorite &f : favorites()) {
        expected.append(f.nameInChromium + u" → "_s + f.inChromium);
        // Another browser's bookmark never becomes the homepage.
        if (f.home)
            expected.append(u"主页 (书签) → "_s + f.inChromium);
    }
    expected.sort();
    QStringList got;
    for (const QString &file : FavoritesStore::listFiles(fresh.folderPath()))
        got.append(QFileInfo(file).completeBaseName() + u" → "_s
            + LinkFile::read(fresh.folderPath() + u'/' + file).address);
    got.sort();
    QCOMPARE(got, expected);
    QCOMPARE(report.skipped, 0);
    QCOMPARE(fresh.homeAtStartup(), u"about:blank"_s);
}

QTEST_GUILESS_MAIN(TestChromium)
#include "tst_chromium.moc"
