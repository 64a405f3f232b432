#include "safefile.h"
#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Sets or clears the append-only attribute; a file with it can be neither replaced nor removed.
bool appendOnly(const QString &path, bool on)
{
    if (QStandardPaths::findExecutable(u"chattr"_s).isEmpty())
        return false;
    QProcess chattr;
    chattr.start(u"chattr"_s, { on ? u"+a"_s : u"-a"_s, path });
    return chattr.waitForFinished() && chattr.exitStatus() == QProcess::NormalExit && chattr.exitCode() == 0;
}

// Clears the attribute however the test ends, so the temporary folder can go.
struct AppendOnlyGuard
{
    QString path;
    bool set = false;
    ~AppendOnlyGuard()
    {
        if (set)
            appendOnly(path, false);
    }
};

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

// The common room's file pieces: the codec of the data files and the whole-file writer.
class tst_Common final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void codec_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("written"); // by encodeReadable
        QTest::addColumn<bool>("utf8"); // how those bytes are detected
        QTest::addRow("ASCII") << u"http://a/?q="_s << QByteArray("http://a/?q=") << true;
        QTest::addRow("GBK text") << u"中文"_s << QByteArray("\xD6\xD0\xCE\xC4") << false;
        QTest::addRow("outside GBK") << u"a😀"_s << QByteArray("a\x94\x39\xFC\x36") << false;
        // Its GB18030 bytes are valid UTF-8 and would read back as other text.
        QTest::addRow("GB18030 bytes that are also UTF-8") << u"睾"_s << QByteArray("\xE7\x9D\xBE") << true;
        QTest::addRow("empty") << QString() << QByteArray() << true;
    }

    void codec()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, written);
        QFETCH(bool, utf8);
        QCOMPARE(TextCodec::encodeReadable(text), written);
        QCOMPARE(TextCodec::detect(written) == TextCodec::Encoding::Utf8, utf8);
        QCOMPARE(TextCodec::decode(written), text);
    }

    void safeFileWrite_data()
    {
        QTest::addColumn<QString>("target"); // "new", "existing", "no folder", "append-only"
        QTest::addColumn<bool>("written");
        QTest::addRow("new file") << u"new"_s << true;
        QTest::addRow("over an existing file") << u"existing"_s << true;
        QTest::addRow("into a missing folder") << u"no folder"_s << false;
        // Replacing the file fails at the last step: the old bytes stay.
        QTest::addRow("append-only target") << u"append-only"_s << false;
    }

    void safeFileWrite()
    {
        QFETCH(QString, target);
        QFETCH(bool, written);
        QTemporaryDir dir;
        QString path = dir.filePath(u"f.txt"_s);
        const QByteArray old = "old bytes";
        AppendOnlyGuard guard { path };
        if (target == u"no folder"_s)
            path = dir.filePath(u"missing/f.txt"_s);
        if (target == u"existing"_s || target == u"append-only"_s) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        }
        if (target == u"append-only"_s) {
            guard.set = appendOnly(path, true);
            if (!guard.set)
                QSKIP("needs chattr and the right to set the append-only attribute");
        }
        QString error;
        QCOMPARE(SafeFile::write(path, "new bytes", &error), written);
        QCOMPARE(error.isEmpty(), written);
        if (!written)
            QVERIFY2(error.contains(path), qPrintable(error));
        if (target == u"no folder"_s)
            QVERIFY(!QFileInfo::exists(path));
        else
            QCOMPARE(bytesOf(path), written ? QByteArray("new bytes") : old);
        // Nothing half-written is left beside it.
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), target == u"no folder"_s ? 0 : 1);
    }

    void safeFileRead_data()
    {
        QTest::addColumn<QString>("source"); // "$" stands for the test's folder
        QTest::addColumn<bool>("read");
        QTest::addRow("a file") << u"$/f.txt"_s << true;
        QTest::addRow("missing") << u"$/missing.txt"_s << false;
        QTest::addRow("a folder") << u"$"_s << false;
        // Opens, but reading fails at once, for root too.
        QTest::addRow("unreadable") << u"/proc/self/mem"_s << false;
    }

    void safeFileRead()
    {
        QFETCH(QString, source);
        QFETCH(bool, read);
        QTemporaryDir dir;
        QFile file(dir.filePath(u"f.txt"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("contents") == 8);
        file.close();
        source.replace(u'$', dir.path());
        QByteArray data = "untouched";
        QString error;
        QCOMPARE(SafeFile::read(source, &data, &error), read);
        QCOMPARE(data, read ? QByteArray("contents") : QByteArray("untouched"));
        if (!read)
            QVERIFY2(error.contains(source), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(tst_Common)
#include "tst_common.moc"
