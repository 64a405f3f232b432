#include "failure.h"
#include "linkfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

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
    // Its GB18030 bytes would read back as other text, so it is written as UTF-8.
    QTest::addRow("GB18030 bytes that are also UTF-8")
        << u"http://x/睾"_s << QByteArray("[tarvo.link]\r\nhttp://x/\xE7\x9D\xBE\r\n");
    // Longer than one read of the file.
    const QByteArray longAddress = "http://x/" + QByteArray(70000 - 9, 'a');
    QTest::addRow("70,000 characters")
        << QString::fromLatin1(longAddress) << "[tarvo.link]\r\n" + longAddress + "\r\n";
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
    QTest::addRow("folder named .link") << m_dir.filePath(u"dir.link"_s);
    QTest::addRow("pipe nobody writes to") << m_dir.filePath(u"fifo.link"_s);
    QTest::addRow("endless device") << m_dir.filePath(u"zero.link"_s);
    QByteArray tooLong = "[tarvo.link]\r\nhttp://x/";
    tooLong.append(3 * 1024 * 1024, 'a');
    QTest::addRow("address beyond 2 MB") << put(tooLong);
    // Opens, but reading offset 0 fails, for root too.
    QTest::addRow("unreadable") << QStringLiteral("/proc/self/mem");
}

void TestLinkFile::unreadable()
{
    QFETCH(QString, path);
    QDir().mkpath(m_dir.filePath(u"dir.link"_s));
    ::mkfifo(QFile::encodeName(m_dir.filePath(u"fifo.link"_s)).constData(), 0600);
    QFile::link(u"/dev/zero"_s, m_dir.filePath(u"zero.link"_s));

    // In a thread of its own: a read that blocks is a failure here, not a hung test.
    auto reading = std::async(std::launch::async, [path]() -> QString {
        try {
            LinkFile::read(path);
            return u"no failure"_s;
        } catch (const Failure &failure) {
            return failure.description();
        }
    });
    const bool ended = QTest::qWaitFor(
        [&] { return reading.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000);
    if (!ended) {
        // Lets a reader stuck in open() go, so the test ends and reports.
        QFile writer(m_dir.filePath(u"fifo.link"_s));
        if (writer.open(QIODevice::ReadWrite))
            writer.close();
    }
    const QString description = reading.get();
    QVERIFY2(ended, "the read blocked");
    QVERIFY2(description.contains(path), qPrintable(description));
}

QTEST_GUILESS_MAIN(TestLinkFile)
#include "tst_linkfile.moc"
