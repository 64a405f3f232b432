#include "form1layout.h"

#include <QTest>

// The resize rule in twips: which steps apply and what they set.
class tst_Layout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usualWindow_givesEveryValue()
    {
        const Form1Layout l = Form1Layout::compute(9930, 7510);
        QCOMPARE(l.browserWidth, std::optional<int>(9810));
        QCOMPARE(l.browserHeight, std::optional<int>(5310));
        QCOMPARE(l.text1Width, std::optional<int>(6765));
        QCOMPARE(l.command3Left, 7710);
        QCOMPARE(l.command4Left, 8190);
        QCOMPARE(l.command6Left, 8675);
        QCOMPARE(l.command5Left, 9525);
        QCOMPARE(l.tabStripWidth, std::optional<int>(9510));
        QCOMPARE(l.combo1Left, 7710);
        QCOMPARE(l.command7Left, 9450);
        QCOMPARE(l.command8Left, 8790);
        QCOMPARE(l.label1Width, std::optional<int>(9810));
        QCOMPARE(l.picture2Width, std::optional<int>(9810));
        QCOMPARE(l.label1Top, 5360);
    }

    void smallWindows_skipOnlyTheFailingSteps_data()
    {
        QTest::addColumn<int>("outerWidth");
        QTest::addColumn<int>("outerHeight");
        QTest::addColumn<bool>("tabStrip");
        QTest::addColumn<bool>("browsers");
        QTest::addColumn<bool>("text1");
        QTest::addColumn<bool>("widths"); // Label1 and Picture2
        QTest::addRow("narrower than the address box") << 3000 << 7510 << true << true << false << true;
        QTest::addRow("narrower than the tab strip") << 400 << 7510 << false << true << false << true;
        QTest::addRow("no width left") << 100 << 7510 << false << false << false << false;
        QTest::addRow("lower than the pages") << 9930 << 2100 << true << false << true << true;
        QTest::addRow("just tall enough") << 9930 << 2200 << true << true << true << true;
    }

    void smallWindows_skipOnlyTheFailingSteps()
    {
        QFETCH(int, outerWidth);
        QFETCH(int, outerHeight);
        QFETCH(bool, tabStrip);
        QFETCH(bool, browsers);
        QFETCH(bool, text1);
        QFETCH(bool, widths);
        const Form1Layout l = Form1Layout::compute(outerWidth, outerHeight);
        QCOMPARE(l.tabStripWidth.has_value(), tabStrip);
        QCOMPARE(l.browserWidth.has_value(), browsers);
        QCOMPARE(l.browserHeight.has_value(), browsers);
        QCOMPARE(l.text1Width.has_value(), text1);
        QCOMPARE(l.label1Width.has_value(), widths);
        QCOMPARE(l.picture2Width.has_value(), widths);
        // Negative left positions still apply.
        QCOMPARE(l.command3Left, outerWidth - 120 - 2100);
        QCOMPARE(l.label1Top, outerHeight - 1900 - 250);
    }

    void hugeWindow_isLaidOutInWiderIntegers()
    {
        const Form1Layout l = Form1Layout::compute(60000, 50000);
        QCOMPARE(l.browserWidth, std::optional<int>(59880));
        QCOMPARE(l.browserHeight, std::optional<int>(47800));
        QCOMPARE(l.command5Left, 59880 - 285);
    }
};

QTEST_APPLESS_MAIN(tst_Layout)
#include "tst_layout.moc"
