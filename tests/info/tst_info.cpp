#include "about.h"
#include "versiontext.h"
#include "xy.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QList<xy *> agreementWindows()
{
    QList<xy *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<xy *>(widget))
            windows.append(window);
    return windows;
}

QLabel *label(QWidget *window, const QString &name)
{
    auto *found = window->findChild<QLabel *>(name);
    if (!found)
        qFatal("no label %s", qPrintable(name));
    return found;
}

QLabel *page(xy *window, int number)
{
    return label(window, u"Label"_s + QString::number(number));
}

QList<int> visiblePages(xy *window)
{
    QList<int> pages;
    for (int number = 1; number <= xy::pageCount; ++number)
        if (page(window, number)->isVisible())
            pages.append(number);
    return pages;
}

} // namespace

class tst_info final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            widget->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void versionText_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("expected");
        QTest::addRow("this release") << 2 << 2 << 50 << u"V2.2.0.50"_s;
        QTest::addRow("zeros and two digits, no padding") << 10 << 0 << 7 << u"V10.0.0.7"_s;
    }

    void versionText()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QString, expected);
        QCOMPARE(::versionText(major, minor, revision), expected);
    }

    void aboutShowsVersionAfterShow()
    {
        about *window = about::showAbout();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QLabel *version = label(window, u"Label3"_s);
        QCOMPARE(version->text(), u"V2.2.0.50"_s);
        // The label widened to the text rather than cutting it off.
        QVERIFY(version->width() >= version->sizeHint().width());
        QCOMPARE(about::showAbout(), window);
    }

    void clientSizes_data()
    {
        QTest::addColumn<bool>("agreement");
        QTest::addColumn<QSize>("size");
        QTest::addRow("about 6465 x 4920 twips") << false << QSize(431, 328);
        QTest::addRow("agreement 9060 x 5640 twips") << true << QSize(604, 376);
    }

    void clientSizes()
    {
        QFETCH(bool, agreement);
        QFETCH(QSize, size);
        QWidget *window = agreement ? static_cast<QWidget *>(xy::showAgreement()) : about::showAbout();
        QCOMPARE(window->size(), size);
        QCOMPARE(window->minimumSize(), size);
        QCOMPARE(window->maximumSize(), size);
        // The icon is an SVG: without Qt's SVG plugin it would come out empty.
        QVERIFY(!window->windowIcon().pixmap(16).isNull());
    }

    void pageTurning_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("expected");
        for (int clicks = 0; clicks <= 7; ++clicks)
            QTest::addRow("%d clicks", clicks) << clicks << clicks % xy::pageCount + 1;
    }

    void pageTurning()
    {
        QFETCH(int, clicks);
        QFETCH(int, expected);
        xy *window = xy::showAgreement();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (int i = 0; i < clicks; ++i) {
            QTest::mouseClick(page(window, window->currentPage()), Qt::LeftButton);
            QCOMPARE(visiblePages(window).size(), 1);
        }
        QCOMPARE(visiblePages(window), QList<int> { expected });
        QCOMPARE(window->currentPage(), expected);
    }

    void agreementPagesFit_data()
    {
        QTest::addColumn<int>("number");
        for (int number = 1; number <= xy::pageCount; ++number)
            QTest::addRow("page %d", number) << number;
    }

    void agreementPagesFit()
    {
        QFETCH(int, number);
        QLabel *text = page(xy::showAgreement(), number);
        QVERIFY(!text->text().isEmpty());
        const int needed = text->heightForWidth(text->width());
        QVERIFY2(
            needed <= text->height(), qPrintable(u"needs %1 px, has %2"_s.arg(needed).arg(text->height())));
        if (number == 1)
            QVERIFY(text->text().startsWith(u"重要须知："_s));
    }

    void agreementIsCentred()
    {
        xy *window = xy::showAgreement();
        const QPoint offset
            = window->frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
            qPrintable(u"off centre by %1, %2"_s.arg(offset.x()).arg(offset.y())));
    }

    void secondShowKeepsPage()
    {
        xy *first = xy::showAgreement();
        QTest::mouseClick(page(first, 1), Qt::LeftButton);
        QTest::mouseClick(page(first, 2), Qt::LeftButton);
        QCOMPARE(xy::showAgreement(), first);
        QCOMPARE(agreementWindows().size(), 1);
        QCOMPARE(visiblePages(first), QList<int> { 3 });
    }

    void thanksOpensNothing()
    {
        about *window = about::showAbout();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(label(window, u"Label9"_s), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::topLevelWidgets(), QWidgetList { window });
    }

    void licenceOpensAgreementThatOutlivesAbout()
    {
        QPointer<about> window = about::showAbout();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(label(window, u"Label8"_s), Qt::LeftButton);
        QCOMPARE(agreementWindows().size(), 1);
        QPointer<xy> agreement = agreementWindows().constFirst();
        QVERIFY(agreement->isVisible());
        QCOMPARE(agreement->parentWidget(), nullptr);

        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window.isNull());
        QVERIFY(!agreement.isNull());
        QVERIFY(agreement->isVisible());
    }
};

QTEST_MAIN(tst_info)
#include "tst_info.moc"
