#include "addressfixup.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// What typed addresses become, the way an address bar reads them.
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
};

QTEST_APPLESS_MAIN(tst_AddressFixup)
#include "tst_addressfixup.moc"
