#include "closedpages.h"
#include "fakebrowser.h"
#include "fakewindow.h"
#include "form1.h"
#include "historywindow.h"
#include "pageset.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTreeWidget>
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
            form->activateWindow();
            if (!QTest::qWaitForWindowActive(form.get()))
                qWarning("the main window did not become active");
            form->Form_Load(QStringLiteral("http://one.test/"));
            form->openfile(QStringLiteral("http://two.test/"), OpenIn::NewPage);
            form->openfile(QStringLiteral("http://three.test/"), OpenIn::NewPage);
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
            f.form->runToolbarCommand(ToolbarCommand(button.mid(14).toInt()));
        else if (button == QStringLiteral("zoomOut"))
            f.form->zoomOut();
        else if (button == QStringLiteral("zoomIn"))
            f.form->zoomIn();
        else if (button == QStringLiteral("zoomReset"))
            f.form->zoomReset();
        else if (button.startsWith(QStringLiteral("tab")))
            f.tabs()->setCurrentIndex(button.mid(3).toInt());
        else
            f.form->findChild<QPushButton *>(button)->click();
    }

    // The front page has shown 百度 and the user types "bd" into the address box.
    static QListWidget *typeIntoAddress(Fixture &f, bool byKeys)
    {
        f.front()->finishLoad(QStringLiteral("http://baidu.test/"), QStringLiteral("百度一下"));
        QTest::keyClick(f.focus(), Qt::Key_L, Qt::ControlModifier);
        if (byKeys)
            QTest::keyClicks(f.Text1(), QStringLiteral("bd"));
        else
            f.Text1()->setText(QStringLiteral("bd"));
        return f.form->findChild<QListWidget *>(QStringLiteral("AddressCompletion"));
    }

private Q_SLOTS:
    void addressCompletion_keys_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("opened"); // empty: the box's own Enter rule, as without the list
        QTest::addColumn<bool>("listOpen");
        QTest::addColumn<int>("stops");
        QTest::addRow("Down, Enter: the row in the page in front")
            << QList<int> { Qt::Key_Down, Qt::Key_Return } << QStringLiteral("http://baidu.test/") << false
            << 0;
        QTest::addRow("Up wraps, keypad Enter")
            << QList<int> { Qt::Key_Up, Qt::Key_Enter } << QStringLiteral("http://baidu.test/") << false << 0;
        QTest::addRow("Enter without a choice") << QList<int> { Qt::Key_Return } << QString() << false << 0;
        QTest::addRow("Esc closes the list, not the page")
            << QList<int> { Qt::Key_Escape } << QString() << false << 0;
        QTest::addRow("second Esc stops the page")
            << QList<int> { Qt::Key_Escape, Qt::Key_Escape } << QString() << false << 1;
        QTest::addRow("Down only") << QList<int> { Qt::Key_Down } << QString() << true << 0;
    }

    void addressCompletion_keys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, opened);
        QFETCH(bool, listOpen);
        QFETCH(int, stops);
        QString withoutList;
        if (opened.isEmpty() && keys.contains(Qt::Key_Return)) {
            Fixture plain;
            typeIntoAddress(plain, false);
            QTest::keyClick(plain.Text1(), Qt::Key_Return);
            withoutList = plain.state();
        }
        Fixture f;
        const qsizetype made = f.browsers.made.size();
        QListWidget *list = typeIntoAddress(f, true);
        QVERIFY(list->isVisible());
        QCOMPARE(list->count(), 1);
        QVERIFY(list->item(0)->text().contains(QStringLiteral("百度一下")));
        for (const int key : keys)
            QTest::keyClick(f.Text1(), Qt::Key(key));
        QCOMPARE(list->isVisible(), listOpen);
        QCOMPARE(f.front()->stops, stops);
        if (!opened.isEmpty()) {
            QCOMPARE(f.front()->navigations.last(), opened);
            QCOMPARE(f.browsers.made.size(), made);
        }
        if (!withoutList.isEmpty())
            QCOMPARE(f.state(), withoutList);
    }

    void ctrlH_showsHistory_opensLikeAFavorite()
    {
        Fixture f;
        f.front()->finishLoad(QStringLiteral("http://baidu.test/"), QStringLiteral("百度一下"));
        QTest::keyClick(f.focus(), Qt::Key_H, Qt::ControlModifier);
        HistoryWindow *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *h = qobject_cast<HistoryWindow *>(w))
                window = h;
        }
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QTRY_VERIFY(window->shownLines().contains(QStringLiteral("  百度一下|http://baidu.test/")));
        window->list()->setCurrentItem(window->list()->topLevelItem(0)->child(0));
        const qsizetype made = f.browsers.made.size();
        window->openSelected();
        // A page of its own, as an opened favorite gets.
        QCOMPARE(f.browsers.made.size(), made + 1);
        QCOMPARE(f.front()->navigations.last(), QStringLiteral("http://baidu.test/"));
        window->close();
    }

    void key_doesWhatItsButtonDoes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("effect"); // seen after the key, not before
        const int ctrl = Qt::ControlModifier;
        QTest::addRow("Ctrl+T new page") << int(Qt::Key_T) << ctrl << QStringLiteral("Toolbar1Button3")
                                         << QStringLiteral("3: about:blank");
        QTest::addRow("Ctrl+W close page")
            << int(Qt::Key_W) << ctrl << QStringLiteral("Command5") << QStringLiteral("front 1 tab 1");
        QTest::addRow("F5 refresh") << int(Qt::Key_F5) << 0 << QStringLiteral("Toolbar1Button7")
                                    << QStringLiteral("refresh1");
        QTest::addRow("Ctrl+R refresh")
            << int(Qt::Key_R) << ctrl << QStringLiteral("Toolbar1Button7") << QStringLiteral("refresh1");
        QTest::addRow("Alt+Left back") << int(Qt::Key_Left) << int(Qt::AltModifier)
                                       << QStringLiteral("Toolbar1Button1") << QStringLiteral("back1");
        QTest::addRow("Alt+Right forward") << int(Qt::Key_Right) << int(Qt::AltModifier)
                                           << QStringLiteral("Toolbar1Button2") << QStringLiteral("fwd1");
        QTest::addRow("Esc stop") << int(Qt::Key_Escape) << 0 << QStringLiteral("Command4")
                                  << QStringLiteral("stop1");
        QTest::addRow("Ctrl+D favorite")
            << int(Qt::Key_D) << ctrl << QStringLiteral("Toolbar1Button6") << QStringLiteral("已经收藏！");
        QTest::addRow("Ctrl+Tab wraps to the first")
            << int(Qt::Key_Tab) << ctrl << QStringLiteral("tab0") << QStringLiteral("front 0 tab 0");
        QTest::addRow("Ctrl+Shift+Tab previous") << int(Qt::Key_Tab) << int(ctrl | Qt::ShiftModifier)
                                                 << QStringLiteral("tab1") << QStringLiteral("front 1 tab 1");
        QTest::addRow("Ctrl+Shift+Backtab previous")
            << int(Qt::Key_Backtab) << int(ctrl | Qt::ShiftModifier) << QStringLiteral("tab1")
            << QStringLiteral("front 1 tab 1");
        QTest::addRow("Ctrl+minus smaller")
            << int(Qt::Key_Minus) << ctrl << QStringLiteral("zoomOut") << QStringLiteral("zoom1.4\n");
        QTest::addRow("Ctrl+plus larger")
            << int(Qt::Key_Plus) << ctrl << QStringLiteral("zoomIn") << QStringLiteral("zoom1.6\n");
        QTest::addRow("Ctrl+= larger")
            << int(Qt::Key_Equal) << ctrl << QStringLiteral("zoomIn") << QStringLiteral("zoom1.6\n");
        QTest::addRow("Ctrl+0 own size")
            << int(Qt::Key_0) << ctrl << QStringLiteral("zoomReset") << QStringLiteral("zoom1\n");
    }

    void key_doesWhatItsButtonDoes()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, button);
        QFETCH(QString, effect);
        Fixture byKey;
        const QString before = byKey.state();
        QTest::keyClick(byKey.focus(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const QString afterKey = byKey.state();
        // The command's own effect, checked once, so a fault shared by key and button shows.
        QVERIFY2(afterKey.contains(effect) && !before.contains(effect), qPrintable(afterKey));
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
