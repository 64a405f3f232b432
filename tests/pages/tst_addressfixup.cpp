#include "addressfixup.h"
#include "pagetext.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// What typed addresses become, the way an address bar reads them; what addresses and names that
// pages choose become before we show or use them.
class tst_AddressFixup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toUrl_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addRow("blank") << QStringLiteral("about:blank") << QStringLiteral("about:blank");
        QTest::addRow("empty") << QString() << QStringLiteral("about:blank");
        QTest::addRow("bare host") << QStringLiteral("www.example.com")
                                   << QStringLiteral("http://www.example.com");
        QTest::addRow("host and port")
            << QStringLiteral("127.0.0.1:8080/a.html") << QStringLiteral("http://127.0.0.1:8080/a.html");
        QTest::addRow("localhost and port")
            << QStringLiteral("localhost:8080") << QStringLiteral("http://localhost:8080");
        QTest::addRow("scheme in capitals") << QStringLiteral("HTTP://Word") << QStringLiteral("http://word");
        QTest::addRow("query with space and Chinese")
            << QStringLiteral("http://127.0.0.1:1/s?q=你好 world")
            << QStringLiteral("http://127.0.0.1:1/s?q=%E4%BD%A0%E5%A5%BD%20world");
    }

    void toUrl()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QCOMPARE(AddressFixup::toUrl(typed).toString(QUrl::FullyEncoded), expected);
    }

    void existingLocalPath_becomesAFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("页 1.html"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(AddressFixup::toUrl(path), QUrl::fromLocalFile(path));
    }

    void shownAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown");
        QTest::addRow("plain") << QStringLiteral("http://a/b?c#d") << QStringLiteral("http://a/b?c#d");
        QTest::addRow("chinese kept") << QStringLiteral("http://a/中文") << QStringLiteral("http://a/中文");
        QTest::addRow("right-to-left override") << QStringLiteral("http://a/x\u202Elmth.nigol")
                                                << QStringLiteral("http://a/x%E2%80%AElmth.nigol");
        QTest::addRow("isolates and marks") << QStringLiteral("http://a/\u2066\u200F\u200E")
                                            << QStringLiteral("http://a/%E2%81%A6%E2%80%8F%E2%80%8E");
        QTest::addRow("zero width and BOM")
            << QStringLiteral("http://a/b\u200Bc\uFEFF") << QStringLiteral("http://a/b%E2%80%8Bc%EF%BB%BF");
        QTest::addRow("line separator and control")
            << QStringLiteral("http://a/\u2028\n") << QStringLiteral("http://a/%E2%80%A8%0A");
    }

    void shownAddress()
    {
        QFETCH(QString, address);
        QFETCH(QString, shown);
        QCOMPARE(PageText::address(address), shown);
    }

    void downloadName_data()
    {
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("name");
        QTest::addRow("plain") << QStringLiteral("报告.pdf") << QStringLiteral("报告.pdf");
        QTest::addRow("../../x") << QStringLiteral("/home/u/Downloads/../../x.desktop")
                                 << QStringLiteral("x.desktop");
        QTest::addRow("/etc/x") << QStringLiteral("/etc/passwd") << QStringLiteral("passwd");
        QTest::addRow("backslashes") << QStringLiteral("..\\..\\x.bat") << QStringLiteral("x.bat");
        QTest::addRow("trailing separator") << QStringLiteral("a/b/") << QStringLiteral("下载");
        QTest::addRow("only dots") << QStringLiteral("....") << QStringLiteral("下载");
        QTest::addRow("leading dot") << QStringLiteral(".bashrc") << QStringLiteral("bashrc");
        QTest::addRow("dots and spaces around") << QStringLiteral(" . x.txt . ") << QStringLiteral("x.txt");
        QTest::addRow("bidi override") << QStringLiteral("a\u202Etxt.exe") << QStringLiteral("atxt.exe");
        QTest::addRow("controls") << QStringLiteral("a\tb\nc") + QChar(0) + QStringLiteral(".txt")
                                  << QStringLiteral("abc.txt");
        QTest::addRow("empty") << QString() << QStringLiteral("下载");
        QTest::addRow("1,000 characters keep the extension") << QString(1000, QLatin1Char('n'))
                + QStringLiteral(".txt") << QString(196, QLatin1Char('n')) + QStringLiteral(".txt");
        QTest::addRow("1,000 chinese characters") << QString(1000, QChar(0x4E2D)) + QStringLiteral(".txt")
                                                  << QString(65, QChar(0x4E2D)) + QStringLiteral(".txt");
    }

    void downloadName()
    {
        QFETCH(QString, proposed);
        QFETCH(QString, name);
        QCOMPARE(PageText::fileName(proposed), name);
    }
};

QTEST_APPLESS_MAIN(tst_AddressFixup)
#include "tst_addressfixup.moc"
