#include "failure.h"
#include "linkfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestLinkFile final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writeThenRead_data();
    void writeThenRead();
    void readBytes_data();
    void readBytes();
    void unreadable_data();
    void unreadable();

private:
    QString put(const QByteArray &bytes);

    QTemporaryDir m_dir;
    int m_count = 0;
};

QString TestLinkFile::put(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(u"f%1.link"_s.arg(++m_count));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

void TestLinkFile::writeThenRead_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("bytes");

    QTest::addRow("ascii") << u"http://127.0.0.1/a?b=c"_s
                           << QByteArray("[tarvo.link]\r\nhttp://127.0.0.1/a?b=c\r\n");
    // 中文 in GBK: D6D0 CEC4.
    QTest::addRow("gbk text") << u"http://x/中文"_s
                              << QByteArray("[tarvo.link]\r\nhttp://x/\xD6\xD0\xCE\xC4\r\n");
    // Outside GBK: GB18030 four-byte form of U+1F600.
    QTest::addRow("emoji") << u"a😀"_s << QByteArray("[tarvo.link]\r\na\x94\x39\xFC\x36\r\n");
    QTest::addRow("spaces kept") << u"  http://x/  "_s << QByteArray("[tarvo.link]\r\n  http://x/  \r\n");
    QTest::addRow("empty address") << QString() << QByteArray("[tarvo.link]\r\n\r\n");
}

void TestLinkFile::writeThenRead()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, bytes);

    QCOMPARE(LinkFile::compose(address), bytes);
    const QString path = m_dir.filePath(u"w%1.link"_s.arg(++m_count));
    LinkFile::write(path, address);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);

    const LinkFile::ReadResult result = LinkFile::read(path);
    QVERIFY(!result.formatError);
    QCOMPARE(result.address, address);
}

void TestLinkFile::readBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("formatError");
    QTest::addColumn<QString>("address");

    QTest::addRow("three lines") << QByteArray("[tarvo.link]\r\nhttp://a/\r\nhttp://b/\r\n") << false
                                 << u"http://a/"_s;
    QTest::addRow("no final line end") << QByteArray("[tarvo.link]\r\nhttp://a/") << false << u"http://a/"_s;
    QTest::addRow("cr only") << QByteArray("[tarvo.link]\rhttp://a/\rmore\r") << false << u"http://a/"_s;
    QTest::addRow("lf inside the address")
        << QByteArray("[tarvo.link]\r\nhttp://a/\nb\r\n") << false << u"http://a/\nb"_s;
    QTest::addRow("lf only is one line") << QByteArray("[tarvo.link]\nhttp://a/\n") << true << QString();
    QTest::addRow("header trailing space")
        << QByteArray("[tarvo.link] \r\nhttp://a/\r\n") << true << QString();
    QTest::addRow("header in capitals") << QByteArray("[TARVO.LINK]\r\nhttp://a/\r\n") << true << QString();
    QTest::addRow("wrong header, one line") << QByteArray("hello") << true << QString();
    QTest::addRow("long first line") << QByteArray(200000, 'a') << true << QString();
    QTest::addRow("utf-8 chinese") << QByteArray("[tarvo.link]\r\nhttp://x/\xE4\xB8\xAD\xE6\x96\x87\r\n")
                                   << false << u"http://x/中文"_s;
    QTest::addRow("gbk chinese") << QByteArray("[tarvo.link]\r\nhttp://x/\xD6\xD0\xCE\xC4\r\n") << false
                                 << u"http://x/中文"_s;
    // Bytes after line 2 that are not UTF-8 must not change how line 2 is read.
    QTest::addRow("gbk after utf-8 line")
        << QByteArray("[tarvo.link]\r\n\xE4\xB8\xAD\r\n\xD6\xD0\r\n") << false << u"中"_s;
}

void TestLinkFile::readBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, formatError);
    QFETCH(QString, address);

    const LinkFile::ReadResult result = LinkFile::read(put(bytes));
    QCOMPARE(result.formatError, formatError);
    QCOMPARE(result.address, address);
}

void TestLinkFile::unreadable_data()
{
    QTest::addColumn<QString>("path");

    QTest::addRow("empty file") << put(QByteArray());
    QTest::addRow("header only") << put("[tarvo.link]");
    QTest::addRow("header and line end only") << put("[tarvo.link]\r\n");
    QTest::addRow("missing") << m_dir.filePath(u"nothing.link"_s);
    QTest::addRow("folder") << m_dir.path();
}

void TestLinkFile::unreadable()
{
    QFETCH(QString, path);

    try {
        LinkFile::read(path);
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QVERIFY2(failure.description().contains(path), qPrintable(failure.description()));
    }
}

QTEST_GUILESS_MAIN(TestLinkFile)
#include "tst_linkfile.moc"
