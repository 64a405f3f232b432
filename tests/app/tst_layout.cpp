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

    void windows_skipOnlyTheFailingSteps_data()
    {
        QTest::addColumn<int>("outerWidth");
        QTest::addColumn<int>("outerHeight");
        QTest::addColumn<bool>("tabStrip");
        QTest::addColumn<int>("browserWidth"); // -1: the pages are not moved
        QTest::addColumn<int>("browserHeight");
        QTest::addColumn<bool>("text1");
        QTest::addColumn<bool>("widths"); // Label1 and Picture2
        QTest::addColumn<int>("command3Left"); // negative left positions still apply
        QTest::addColumn<int>("label1Top");
        QTest::addRow("narrower than the address box")
            << 3000 << 7510 << true << 2880 << 5310 << false << true << 780 << 5360;
        QTest::addRow("narrower than the tab strip")
            << 400 << 7510 << false << 280 << 5310 << false << true << -1820 << 5360;
        QTest::addRow("no width left") << 100 << 7510 << false << -1 << -1 << false << false << -2120 << 5360;
        QTest::addRow("lower than the pages")
            << 9930 << 2100 << true << -1 << -1 << true << true << 7710 << -50;
        QTest::addRow("just tall enough") << 9930 << 2200 << true << 9810 << 0 << true << true << 7710 << 50;
        // Far beyond 16-bit values.
        QTest::addRow("huge") << 60000 << 50000 << true << 59880 << 47800 << true << true << 57780 << 47850;
    }

    void windows_skipOnlyTheFailingSteps()
    {
        QFETCH(int, outerWidth);
        QFETCH(int, outerHeight);
        QFETCH(bool, tabStrip);
        QFETCH(int, browserWidth);
        QFETCH(int, browserHeight);
        QFETCH(bool, text1);
        QFETCH(bool, widths);
        QFETCH(int, command3Left);
        QFETCH(int, label1Top);
        const Form1Layout l = Form1Layout::compute(outerWidth, outerHeight);
        QCOMPARE(l.tabStripWidth.has_value(), tabStrip);
        QCOMPARE(l.browserWidth.value_or(-1), browserWidth);
        QCOMPARE(l.browserHeight.value_or(-1), browserHeight);
        QCOMPARE(l.text1Width.has_value(), text1);
        QCOMPARE(l.label1Width.has_value(), widths);
        QCOMPARE(l.picture2Width.has_value(), widths);
        QCOMPARE(l.command3Left, command3Left);
        QCOMPARE(l.label1Top, label1Top);
    }
};

QTEST_APPLESS_MAIN(tst_Layout)
#include "tst_layout.moc"
