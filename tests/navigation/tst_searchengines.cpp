#include "failure.h"
#include "safefile.h"
#include "searchenginefile.h"
#include "textcodec.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QByteArray gbk(const QString &text)
{
    return TextCodec::encode(text, TextCodec::Encoding::Gb18030);
}

QByteArray bytesOf(const QString &path)
{
    QByteArray bytes;
    return SafeFile::read(path, &bytes) ? bytes : QByteArray("<unreadable>");
}

QString listed(const QList<Engine> &engines)
{
    QString text;
    for (const Engine &engine : engines)
        text += u"[%1|%2]"_s.arg(engine.name, engine.searchString);
    return text;
}
} // namespace

// The search-engine file: every kind of line, appending in the file's own encoding, and never a
// damaged file.
class TestSearchEngines final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file() const { return SearchEngineFile::path(m_dir.path()); }

private Q_SLOTS:
    void load_data();
    void load();
    void load_failsNamingTheFile();
    void append_data();
    void append();
    void append_refusedKeepsOldBytes_data();
    void append_refusedKeepsOldBytes();
};

void TestSearchEngines::load_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<QString>("engines");

    QTest::addRow("missing file") << QByteArray() << QString();
    QTest::addRow("middle line without separator")
        << QByteArray("a TheHead: http://a/?q=\r\nno separator\r\nb TheHead: http://b/?q=\r\n")
        << u"[a|http://a/?q=][b|http://b/?q=]"_s;
    QTest::addRow("only the separator") << QByteArray(" TheHead: \r\n") << u"[|]"_s;
    QTest::addRow("two separators") << QByteArray("n TheHead: s TheHead: rest\r\n") << u"[n|s]"_s;
    QTest::addRow("other case or no spaces")
        << QByteArray("a theHead: x\r\nb TheHead:y\r\nc TheHead : z\r\n") << QString();
    QTest::addRow("spaces kept") << QByteArray("  a  TheHead:  s \r\n") << u"[  a | s ]"_s;
    QTest::addRow("empty lines") << QByteArray("\r\n\r\na TheHead: 1\r\n\r\n") << u"[a|1]"_s;
    QTest::addRow("LF-only lines") << QByteArray("a TheHead: 1\nb TheHead: 2\n") << u"[a|1][b|2]"_s;
    QTest::addRow("CR-only, no final end") << QByteArray("a TheHead: 1\rb TheHead: 2") << u"[a|1][b|2]"_s;
    QTest::addRow("GBK") << gbk(u"百度 TheHead: http://s/?wd=\r\n"_s) << u"[百度|http://s/?wd=]"_s;
    QTest::addRow("UTF-8") << u"搜狗 TheHead: http://u/?q=\r\n"_s.toUtf8() << u"[搜狗|http://u/?q=]"_s;
    QTest::addRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + u"搜狗 TheHead: u\r\n"_s.toUtf8() << u"[搜狗|u]"_s;
}

void TestSearchEngines::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, engines);

    // Every row is a reload too: the file held another engine a moment ago.
    QVERIFY(SafeFile::write(file(), "old TheHead: o\r\n"));
    QCOMPARE(listed(SearchEngineFile::load(m_dir.path())), u"[old|o]"_s);
    if (bytes.isNull())
        QVERIFY(QFile::remove(file()));
    else
        QVERIFY(SafeFile::write(file(), bytes));
    QCOMPARE(listed(SearchEngineFile::load(m_dir.path())), engines);
    QCOMPARE(bytesOf(file()), bytes); // a missing file is now there, empty
}

void TestSearchEngines::load_failsNamingTheFile()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"搜索.txt"_s));
    QVERIFY(SafeFile::write(dir.filePath(u"plain"_s), "x"));
    for (const QString &folder : { dir.path(), dir.filePath(u"plain"_s), dir.filePath(u"no/such"_s) }) {
        try {
            SearchEngineFile::load(folder);
            QFAIL(qPrintable(u"no failure for "_s + folder));
        } catch (const Failure &failure) {
            QVERIFY2(failure.description().contains(u"搜索.txt"_s), qPrintable(failure.description()));
        }
    }
}

void TestSearchEngines::append_data()
{
    QTest::addColumn<QByteArray>("before"); // empty: no file
    QTest::addColumn<QByteArray>("after");

    const QString line = u"新 TheHead: http://n/?q=\r\n"_s;
    QTest::addRow("new file is GB18030") << QByteArray() << gbk(line);
    QTest::addRow("GBK file stays GBK") << gbk(u"旧 TheHead: o\r\n"_s) << gbk(u"旧 TheHead: o\r\n"_s + line);
    QTest::addRow("UTF-8 file stays UTF-8")
        << u"旧 TheHead: o\r\n"_s.toUtf8() << (u"旧 TheHead: o\r\n"_s + line).toUtf8();
    // Plain ASCII tells nothing of the encoding: new text goes in as GB18030.
    QTest::addRow("ASCII file") << QByteArray("a TheHead: 1\r\n") << gbk(u"a TheHead: 1\r\n"_s + line);
    QTest::addRow("last line without an end")
        << gbk(u"旧 TheHead: o"_s) << gbk(u"旧 TheHead: o\r\n"_s + line);
    QTest::addRow("last line ends in LF") << QByteArray("a TheHead: 1\n") << gbk(u"a TheHead: 1\n"_s + line);
}

void TestSearchEngines::append()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    QFile::remove(file());
    if (!before.isEmpty())
        QVERIFY(SafeFile::write(file(), before));
    SearchEngineFile::append(m_dir.path(), { u"新"_s, u"http://n/?q="_s });
    QCOMPARE(bytesOf(file()), after);
    QCOMPARE(SearchEngineFile::load(m_dir.path()).constLast().name, u"新"_s);
}

void TestSearchEngines::append_refusedKeepsOldBytes_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("searchString");

    QTest::addRow("folder named like the file") << u"dir"_s << u"n"_s << u"s"_s;
    QTest::addRow("folder under a plain file") << u"old.txt/sub"_s << u"n"_s << u"s"_s;
    QTest::addRow("line break in name") << QString() << u"a\r\nb"_s << u"s"_s;
    QTest::addRow("LF in search string") << QString() << u"n"_s << u"s\nt"_s;
    QTest::addRow("separator in name") << QString() << u"a TheHead: b"_s << u"s"_s;
    QTest::addRow("separator in search string") << QString() << u"n"_s << u"s TheHead: t"_s;
}

void TestSearchEngines::append_refusedKeepsOldBytes()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, searchString);

    QTemporaryDir dir;
    const QByteArray old = gbk(u"旧 TheHead: o\r\n"_s);
    QVERIFY(SafeFile::write(dir.filePath(u"old.txt"_s), old));
    QVERIFY(SafeFile::write(SearchEngineFile::path(dir.path()), old));
    QVERIFY(QDir(dir.path()).mkpath(u"dir/搜索.txt"_s));
    QVERIFY_THROWS_EXCEPTION(Failure, SearchEngineFile::append(dir.filePath(folder), { name, searchString }));
    QCOMPARE(bytesOf(SearchEngineFile::path(dir.path())), old);
    QCOMPARE(bytesOf(dir.filePath(u"old.txt"_s)), old);
    QVERIFY(QFileInfo(dir.filePath(u"dir/搜索.txt"_s)).isDir());
}

QTEST_GUILESS_MAIN(TestSearchEngines)
#include "tst_searchengines.moc"
