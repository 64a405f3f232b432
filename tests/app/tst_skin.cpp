#include "skin.h"
#include "skincolours.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

// The skin layer: what it keeps, what it applies and how it shifts colours.
class tst_Skin final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        qApp->setStyleSheet(QString());
        SkinH_AttachRes(nullptr, 0, 0, 0, 0, 0);
    }

    void attach_keepsExactlyTheGivenBytes_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("expectedSheet");
        const QByteArray sheet = "QWidget { color: #123456; }";
        QTest::addRow("garbage after the length")
            << sheet + "\xff\xfe\x01garbage" << int(sheet.size()) << QString::fromUtf8(sheet);
        QTest::addRow("whole buffer, no terminator")
            << sheet << int(sheet.size()) << QString::fromUtf8(sheet);
        const QByteArray chinese = "/* 浅色皮肤 */ QWidget { color: #123456; }";
        QTest::addRow("Chinese comment") << chinese << int(chinese.size()) << QString::fromUtf8(chinese);
        QTest::addRow("cut inside a character") << chinese << 5 << QString();
        QTest::addRow("invalid UTF-8") << QByteArray("\xc3\x28 QWidget {}") << 13 << QString();
        QTest::addRow("NUL inside") << QByteArray("QWidget {}\0QFrame {}", 20) << 20 << QString();
        QTest::addRow("only blanks") << QByteArray(" \r\n ") << 4 << QString();
        QTest::addRow("empty") << QByteArray() << 0 << QString();
        QTest::addRow("negative length") << sheet << -1 << QString();
    }

    void attach_keepsExactlyTheGivenBytes()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(int, length);
        QFETCH(QString, expectedSheet);
        // A heap block of exactly the buffer's size: a read past it is caught by the sanitizer build.
        std::vector<unsigned char> bytes(buffer.begin(), buffer.end());
        SkinH_AttachRes(bytes.empty() ? nullptr : bytes.data(), length, 0, 0, 0, 0);
        // The caller frees its array right after the call; the layer must have its own copy.
        std::fill(bytes.begin(), bytes.end(), 'x');
        SkinH_Attach();
        SkinH_AdjustHSV(0, 0, 0);
        QCOMPARE(qApp->styleSheet(), expectedSheet);
    }

    void adjust_shiftsColoursInDeclarations_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("hue");
        QTest::addColumn<int>("saturation");
        QTest::addColumn<int>("brightness");
        QTest::addColumn<QString>("expected");
        QTest::addRow("hue +120 turns red green")
            << u"QWidget { color: #ff0000; }"_s << 120 << 0 << 0 << u"QWidget { color: #00ff00; }"_s;
        QTest::addRow("short form") << u"QWidget { color: #f00; }"_s << 120 << 0 << 0
                                    << u"QWidget { color: #00ff00; }"_s;
        QTest::addRow("rgb() keeps its form") << u"QWidget { color: rgb(255, 0, 0); }"_s << -120 << 0 << 0
                                              << u"QWidget { color: rgb(0, 0, 255); }"_s;
        QTest::addRow("rgba() keeps its alpha") << u"QWidget { color: rgba(255,0,0, 128); }"_s << 120 << 0
                                                << 0 << u"QWidget { color: rgba(0, 255, 0, 128); }"_s;
        QTest::addRow("argb keeps its alpha")
            << u"QWidget { color: #80ff0000; }"_s << 120 << 0 << 0 << u"QWidget { color: #8000ff00; }"_s;
        QTest::addRow("grey has no hue")
            << u"QWidget { color: #808080; }"_s << 90 << 0 << 0 << u"QWidget { color: #808080; }"_s;
        QTest::addRow("no brightness is black")
            << u"QWidget { color: #3d7fd6; }"_s << 0 << 0 << -100 << u"QWidget { color: #000000; }"_s;
        QTest::addRow("no saturation is grey")
            << u"QWidget { color: #ff0000; }"_s << 0 << -100 << 0 << u"QWidget { color: #ffffff; }"_s;
        QTest::addRow("hue beyond the range is clamped")
            << u"QWidget { color: #ff0000; }"_s << 540 << 0 << 0 << u"QWidget { color: #00ffff; }"_s;
        QTest::addRow("object name in the selector stays")
            << u"QWidget#abc { color: #aabbcc; }"_s << 180 << 0 << 0 << u"QWidget#abc { color: #ccbbaa; }"_s;
        QTest::addRow("gradient stops")
            << u"QWidget { background: qlineargradient(x1:0, stop:0 #ff0000, stop:1 #0000ff); }"_s << 120 << 0
            << 0 << u"QWidget { background: qlineargradient(x1:0, stop:0 #00ff00, stop:1 #ff0000); }"_s;
        QTest::addRow("names and numbers stay")
            << u"QWidget { color: white; border: 1px solid #00f; }"_s << 120 << 0 << 0
            << u"QWidget { color: white; border: 1px solid #ff0000; }"_s;
    }

    void adjust_shiftsColoursInDeclarations()
    {
        QFETCH(QString, sheet);
        QFETCH(int, hue);
        QFETCH(int, saturation);
        QFETCH(int, brightness);
        QFETCH(QString, expected);
        QCOMPARE(SkinColours::adjust(sheet, hue, saturation, brightness), expected);
    }

    void adjustHSV_zeroGivesTheKeptSkinBack()
    {
        const QByteArray skin = loadSkinResource();
        QCOMPARE(SkinH_AttachRes(
                     reinterpret_cast<const unsigned char *>(skin.constData()), int(skin.size()), 0, 0, 0, 0),
            0);
        QCOMPARE(SkinH_Attach(), 0);
        QCOMPARE(SkinH_AdjustHSV(0, 0, 0), 0);
        QCOMPARE(qApp->styleSheet().toUtf8(), skin);
        QCOMPARE(SkinH_AdjustHSV(30, 10, -10), 0);
        QVERIFY(qApp->styleSheet().toUtf8() != skin);
        // Adjustments do not pile up: zero is the skin as it came.
        QCOMPARE(SkinH_AdjustHSV(0, 0, 0), 0);
        QCOMPARE(qApp->styleSheet().toUtf8(), skin);
    }

    void adjustHSV_withoutSkin_changesNothing()
    {
        QVERIFY(SkinH_Attach() != 0);
        QVERIFY(SkinH_AdjustHSV(40, 0, 0) != 0);
        QCOMPARE(qApp->styleSheet(), QString());
    }

    void loadSkinResource_matchesTheNameInAnyCase_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("found");
        QTest::addRow("upper case") << u"SKN"_s << true;
        QTest::addRow("lower case") << u"skn"_s << true;
        QTest::addRow("mixed case") << u"sKn"_s << true;
        QTest::addRow("longer name") << u"SKN2"_s << false;
        QTest::addRow("with an extension") << u"skn.qss"_s << false;
    }

    void loadSkinResource_matchesTheNameInAnyCase()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, found);
        QTemporaryDir folder;
        QFile file(folder.filePath(fileName));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("QWidget {}");
        file.close();
        QCOMPARE(loadSkinResource(folder.path()), found ? QByteArray("QWidget {}") : QByteArray());
    }

    void carriedSkin_isTextAndLeavesLabelsAndFontsAlone()
    {
        const QByteArray skin = loadSkinResource();
        QVERIFY(!skin.isEmpty());
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString sheet = utf8.decode(skin);
        QVERIFY(!utf8.hasError());
        // The about window's labels carry their own fonts and colours; the desktop chooses the face.
        QVERIFY(!sheet.contains(u"font-family"_s));
        static const QRegularExpression labelRule(u"QLabel[^{]*\\{[^}]*(color|font)"_s);
        QVERIFY(!labelRule.match(sheet).hasMatch());
    }
};

QTEST_MAIN(tst_Skin)
#include "tst_skin.moc"
