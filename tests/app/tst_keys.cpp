#include "closedpages.h"
#include "fakebrowser.h"
#include "fakewindow.h"
#include "form1.h"
#include "pageset.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The keys a browser user knows, on fake browsers: each one against the button it stands for.
class tst_Keys : public QObject
{
    Q_OBJECT

private:
    struct Fixture : FakeWindow
    {
        // Three pages, the third in front, the text of each at its own zoom.
        Fixture()
        {
            make();
            form->resize(800, 600);
            form->show();
            QApplication::setActiveWindow(form.get());
            form->Form_Load(QStringLiteral("http://one.test/"));
            form->openfile(QStringLiteral("http://two.test/"), false);
            form->openfile(QStringLiteral("http://three.test/"), false);
            const QList<qint16> pages = form->pages().pageList();
            for (qint16 p : pages) {
                page(p)->zoom = 1.5;
                page(p)->finishLoad(page(p)->location, QStringLiteral("Title %1").arg(p));
            }
            front()->widget()->setFocus();
        }
        QWidget *focus() const
        {
            return QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        }

        // What a user or a test could see of the window and its pages.
        QString state() const
        {
            QStringList lines;
            for (qint16 p : form->pages().pageList()) {
                const FakeBrowser *b = page(p);
                lines << QStringLiteral("%1: %2 back%3 fwd%4 stop%5 refresh%6 zoom%7")
                             .arg(p)
                             .arg(b->navigations.join(QLatin1Char(',')))
                             .arg(b->backs)
                             .arg(b->forwards)
                             .arg(b->stops)
                             .arg(b->refreshes)
                             .arg(b->zoom);
            }
            lines << QStringLiteral("front %1 tab %2 box %3 title %4")
                         .arg(form->pages().curP())
                         .arg(tabs()->currentIndex())
                         .arg(Text1()->text(), form->windowTitle());
            lines << QDir(folder.filePath(QStringLiteral("likepage"))).entryList(QDir::Files);
            lines << dialogs.messages;
            return lines.join(QLatin1Char('\n'));
        }
    };

    // What the button (or the handler it calls) does, by name.
    static void press(Fixture &f, const QString &button)
    {
        if (button.startsWith(QStringLiteral("Toolbar1Button")))
            f.form->Toolbar1_ButtonClick(button.mid(14).toInt());
        else if (button == QStringLiteral("zoomOut"))
            f.form->Toolbar1_ButtonMenuClick();
        else if (button == QStringLiteral("zoomIn"))
            f.form->zoomIn();
        else if (button == QStringLiteral("zoomReset"))
            f.form->zoomReset();
        else if (button.startsWith(QStringLiteral("tab")))
            f.tabs()->setCurrentIndex(button.mid(3).toInt());
        else
            f.form->findChild<QPushButton *>(button)->click();
    }

private Q_SLOTS:
    void key_doesWhatItsButtonDoes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("button");
        const int ctrl = Qt::ControlModifier;
        QTest::addRow("Ctrl+T new page") << int(Qt::Key_T) << ctrl << QStringLiteral("Toolbar1Button3");
        QTest::addRow("Ctrl+W close page") << int(Qt::Key_W) << ctrl << QStringLiteral("Command5");
        QTest::addRow("F5 refresh") << int(Qt::Key_F5) << 0 << QStringLiteral("Toolbar1Button7");
        QTest::addRow("Ctrl+R refresh") << int(Qt::Key_R) << ctrl << QStringLiteral("Toolbar1Button7");
        QTest::addRow("Alt+Left back")
            << int(Qt::Key_Left) << int(Qt::AltModifier) << QStringLiteral("Toolbar1Button1");
        QTest::addRow("Alt+Right forward")
            << int(Qt::Key_Right) << int(Qt::AltModifier) << QStringLiteral("Toolbar1Button2");
        QTest::addRow("Esc stop") << int(Qt::Key_Escape) << 0 << QStringLiteral("Command4");
        QTest::addRow("Ctrl+D favorite") << int(Qt::Key_D) << ctrl << QStringLiteral("Toolbar1Button6");
        QTest::addRow("Ctrl+Tab wraps to the first") << int(Qt::Key_Tab) << ctrl << QStringLiteral("tab0");
        QTest::addRow("Ctrl+Shift+Tab previous")
            << int(Qt::Key_Tab) << int(ctrl | Qt::ShiftModifier) << QStringLiteral("tab1");
        QTest::addRow("Ctrl+Shift+Backtab previous")
            << int(Qt::Key_Backtab) << int(ctrl | Qt::ShiftModifier) << QStringLiteral("tab1");
        QTest::addRow("Ctrl+minus smaller") << int(Qt::Key_Minus) << ctrl << QStringLiteral("zoomOut");
        QTest::addRow("Ctrl+plus larger") << int(Qt::Key_Plus) << ctrl << QStringLiteral("zoomIn");
        QTest::addRow("Ctrl+= larger") << int(Qt::Key_Equal) << ctrl << QStringLiteral("zoomIn");
        QTest::addRow("Ctrl+0 own size") << int(Qt::Key_0) << ctrl << QStringLiteral("zoomReset");
    }

    void key_doesWhatItsButtonDoes()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, button);
        Fixture byKey;
        const QString before = byKey.state();
        QTest::keyClick(byKey.focus(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const QString afterKey = byKey.state();
        const qsizetype madeByKey = byKey.browsers.made.size();
        byKey.form.reset(); // one active window at a time
        Fixture byButton;
        press(byButton, button);
        QVERIFY2(afterKey != before, "the key did nothing");
        QCOMPARE(afterKey, byButton.state());
        QCOMPARE(madeByKey, byButton.browsers.made.size());
    }

    void zoomKeys_keepTheFailureRule()
    {
        Fixture f;
        f.page(1)->failZoom = true;
        QTest::keyClick(f.focus(), Qt::Key_Plus, Qt::ControlModifier);
        // The walk ends at the first page that refuses.
        QCOMPARE(f.page(0)->zoom, 1.6);
        QCOMPARE(f.page(1)->zoom, 1.5);
        QCOMPARE(f.page(2)->zoom, 1.5);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void addressKeys_selectTheAddress_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addRow("Ctrl+L") << int(Qt::Key_L) << int(Qt::ControlModifier);
        QTest::addRow("F6") << int(Qt::Key_F6) << 0;
    }

    void addressKeys_selectTheAddress()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        Fixture f;
        QTest::keyClick(f.focus(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(QApplication::focusWidget(), f.Text1());
        QCOMPARE(f.Text1()->selectedText(), QStringLiteral("http://three.test/"));
    }

    void findBar_stepsAndCloses()
    {
        Fixture f;
        QTest::keyClick(f.focus(), Qt::Key_F, Qt::ControlModifier);
        auto *bar = f.form->findChild<QWidget *>(QStringLiteral("FindBar"));
        auto *text = f.form->findChild<QLineEdit *>(QStringLiteral("FindText"));
        QVERIFY(bar->isVisible());
        QCOMPARE(QApplication::focusWidget(), text);
        text->insert(QStringLiteral("苹果"));
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClick(text, Qt::Key_Return, Qt::ShiftModifier);
        // Esc in the bar closes it and clears the marks; it does not stop the page.
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QCOMPARE(f.front()->finds,
            (QStringList {
                QStringLiteral("苹果"), QStringLiteral("苹果"), QStringLiteral("苹果 <"), QString() }));
        QCOMPARE(f.front()->stops, 0);
        QCOMPARE(QApplication::focusWidget(), f.front()->widget());
        // Opened again, the last text is there, selected.
        QTest::keyClick(f.focus(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(text->selectedText(), QStringLiteral("苹果"));
    }

    void ctrlShiftT_reopensTheLastClosed()
    {
        Fixture f;
        f.form->findChild<QPushButton *>(QStringLiteral("Command5"))->click(); // three
        QTest::keyClick(f.focus(), Qt::Key_W, Qt::ControlModifier); // two
        QCOMPARE(f.form->pages().pageList(), QList<qint16> { 0 });
        QTest::keyClick(f.focus(), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.front()->navigations.last(), QStringLiteral("http://two.test/"));
        QCOMPARE(f.form->pages().pageList().size(), 2);
        QTest::keyClick(f.focus(), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.front()->navigations.last(), QStringLiteral("http://three.test/"));
        QCOMPARE(f.form->pages().pageList().size(), 3);
        // Nothing more to reopen: nothing happens.
        const int made = f.browsers.made.size();
        QTest::keyClick(f.focus(), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.browsers.made.size(), made);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void closedPages_keepTheLastTen_data()
    {
        QTest::addColumn<QStringList>("closed");
        QTest::addColumn<QStringList>("reopened"); // in the order Ctrl+Shift+T brings them back
        QTest::addRow("none") << QStringList() << QStringList();
        QTest::addRow("last first") << QStringList { QStringLiteral("a"), QStringLiteral("b") }
                                    << QStringList { QStringLiteral("b"), QStringLiteral("a") };
        QTest::addRow("blank pages are not kept")
            << QStringList { QStringLiteral("a"), QStringLiteral("About:Blank"), QStringLiteral(" ") }
            << QStringList { QStringLiteral("a") };
        QStringList twelve;
        QStringList lastTen;
        for (int i = 1; i <= 12; ++i) {
            twelve << QString::number(i);
            if (i > 2)
                lastTen.prepend(QString::number(i));
        }
        QTest::addRow("only ten") << twelve << lastTen;
    }

    void closedPages_keepTheLastTen()
    {
        QFETCH(QStringList, closed);
        QFETCH(QStringList, reopened);
        ClosedPages pages;
        for (const QString &address : closed)
            pages.remember(address);
        QStringList taken;
        while (!pages.isEmpty())
            taken << pages.takeLast();
        QCOMPARE(taken, reopened);
        QCOMPARE(pages.takeLast(), QString());
    }
};

QTEST_MAIN(tst_Keys)
#include "tst_keys.moc"
