#include "addressrule.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Enter in the address box: open the text as an address, or search for it.
class TestAddressRule final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void enterAction_data();
    void enterAction();
};

void TestAddressRule::enterAction_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("go");

    QTest::addRow("three labels") << u"www.example.com"_s << true;
    QTest::addRow("two labels") << u"example.com"_s << false;
    QTest::addRow("two full stops alone") << u".."_s << true;
    QTest::addRow("sentence with two full stops") << u"Hi. There."_s << true;
    QTest::addRow("single word") << u"word"_s << false;
    QTest::addRow("https word") << u"https://word"_s << false;
    QTest::addRow("HTTP word") << u"HTTP://word"_s << true;
    QTest::addRow("http word") << u"http://word"_s << true;
    QTest::addRow("empty") << QString() << false;
    QTest::addRow("space before http") << u" http://x"_s << false;
}

void TestAddressRule::enterAction()
{
    QFETCH(QString, text);
    QFETCH(bool, go);

    QCOMPARE(AddressRule::enterAction(text) == AddressRule::EnterAction::Go, go);
}

QTEST_GUILESS_MAIN(TestAddressRule)
#include "tst_addressrule.moc"
