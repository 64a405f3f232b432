#include "fakebrowser.h"
#include "fakewindow.h"
#include "form1.h"
#include "pageset.h"
#include "scripteddialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
const QString kBlank = QStringLiteral("about:blank");
const QByteArray kHeader = "[tarvo.link]\r\n";

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

// The main window on fake browsers and scripted dialogs, in a program folder of its own.
class tst_Form1 : public QObject
{
    Q_OBJECT

private:
    struct Fixture : FakeWindow
    {
        QString path(const QString &name) const { return folder.filePath(name); }
        bool start(const QString &commandLine = QString())
        {
            make();
            return form->Form_Load(commandLine);
        }
        QComboBox *Combo1() const { return form->findChild<QComboBox *>(QStringLiteral("Combo1")); }
        QStringList favorites() const
        {
            return QDir(path(QStringLiteral("likepage"))).entryList(QDir::Files, QDir::Name);
        }
    };

private Q_SLOTS:
    void startUp_opensTheArgumentOrHome_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("homepage"); // the homepage file's name, if any
        QTest::addColumn<QString>("expected"); // "$" stands for the program folder
        const QString lower = QStringLiteral("主页.link");
        QTest::addRow("nothing: blank") << QString() << QString() << kBlank;
        QTest::addRow("home file") << QString() << lower << QStringLiteral("http://home.test/");
        QTest::addRow("home file in capitals")
            << QString() << QStringLiteral("主页.LINK") << QStringLiteral("http://home.test/");
        QTest::addRow("argument wins over home")
            << QStringLiteral("http://arg.test/") << lower << QStringLiteral("http://arg.test/");
        QTest::addRow("quoted link path with blanks")
            << QStringLiteral("\"$/my links/a b.link\"") << QString() << QStringLiteral("http://ab.test/");
        QTest::addRow("every quote removed")
            << QStringLiteral("http://x\".test/\"q") << QString() << QStringLiteral("http://x.test/q");
    }

    void startUp_opensTheArgumentOrHome()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, homepage);
        QFETCH(QString, expected);
        Fixture f;
        const QString homeFile = f.path(QStringLiteral("likepage/") + homepage);
        if (!homepage.isEmpty())
            writeFile(homeFile, kHeader + "http://home.test/\r\n");
        writeFile(f.path(QStringLiteral("my links/a b.link")), kHeader + "http://ab.test/\r\n");
        QVERIFY(f.start(commandLine.replace(QLatin1Char('$'), f.folder.path())));
        QCOMPARE(f.page(0)->navigations, QStringList { expected });
        QCOMPARE(f.form->pages().pageList(), QList<qint16> { 0 });
        QCOMPARE(f.form->home, homepage.isEmpty() ? kBlank : homeFile);
        QVERIFY(f.dialogs.messages.isEmpty());
        // The engine file is created empty at the first start.
        QCOMPARE(QFileInfo(f.path(QStringLiteral("搜索.txt"))).size(), 0);
    }

    void startUp_withAMissingLinkFileFails()
    {
        Fixture f;
        QVERIFY(!f.start(f.path(QStringLiteral("gone.link"))));
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages.first().contains(QStringLiteral("gone.link")));
    }

    void openfile_decidesLinkAndPage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("addressBox");
        QTest::addColumn<QString>("navigated"); // "" when nothing may be navigated
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("formatMessage");
        QTest::addRow(".link is read") << QStringLiteral("f.link") << QStringLiteral("http://now/")
                                       << QStringLiteral("http://fav/") << 2 << false;
        QTest::addRow(".LINK is an address") << QStringLiteral("f.LINK") << QStringLiteral("http://now/")
                                             << QStringLiteral("$/f.LINK") << 2 << false;
        QTest::addRow("blank box uses the page in front")
            << QStringLiteral("f.link") << QStringLiteral("About:Blank") << QStringLiteral("http://fav/") << 1
            << false;
        QTest::addRow("wrong header: message, no page")
            << QStringLiteral("bad.link") << QStringLiteral("http://now/") << QString() << 1 << true;
    }

    void openfile_decidesLinkAndPage()
    {
        QFETCH(QString, name);
        QFETCH(QString, addressBox);
        QFETCH(QString, navigated);
        QFETCH(int, pages);
        QFETCH(bool, formatMessage);
        Fixture f;
        writeFile(f.path(QStringLiteral("f.link")), kHeader + "http://fav/\r\n");
        writeFile(f.path(QStringLiteral("f.LINK")), kHeader + "http://fav/\r\n");
        writeFile(f.path(QStringLiteral("bad.link")), "[Tarvo.link]\r\nhttp://bad/\r\n");
        QVERIFY(f.start(QStringLiteral("http://now/")));
        f.Text1()->setText(addressBox);
        f.form->openfile(f.path(name), false);
        QCOMPARE(f.form->pages().pageList().size(), pages);
        if (navigated.isEmpty())
            QCOMPARE(f.front()->navigations, QStringList { QStringLiteral("http://now/") });
        else
            QCOMPARE(
                f.front()->navigations.last(), QString(navigated).replace(QLatin1Char('$'), f.folder.path()));
        QCOMPARE(f.dialogs.messages,
            formatMessage ? QStringList { QStringLiteral("文件格式错误。") } : QStringList {});
    }

    void newPageButton_onABlankPageMakesNoSecondPage()
    {
        Fixture f;
        QVERIFY(f.start());
        f.Text1()->setText(kBlank);
        f.form->Toolbar1_ButtonClick(3);
        QCOMPARE(f.form->pages().pageList().size(), 1);
        f.page(0)->finishLoad(QStringLiteral("http://a/"), QStringLiteral("A"));
        f.form->Toolbar1_ButtonClick(3);
        QCOMPARE(f.form->pages().pageList().size(), 2);
        QCOMPARE(f.front()->navigations, QStringList { kBlank });
    }

    void addToFavorites_threeTimesAndEditedAddress()
    {
        Fixture f;
        QVERIFY(f.start());
        f.page(0)->finishLoad(QStringLiteral("http://a.test/"), QStringLiteral("A: page?"));
        f.Text1()->setText(QStringLiteral(" typed, not opened "));
        for (int i = 0; i < 3; ++i)
            f.form->Toolbar1_ButtonClick(6);
        QCOMPARE(f.favorites(),
            (QStringList { QStringLiteral("##A- page-.link"), QStringLiteral("#A- page-.link"),
                QStringLiteral("A- page-.link") }));
        QFile file(f.path(QStringLiteral("likepage/##A- page-.link")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kHeader + " typed, not opened \r\n");
        QCOMPARE(f.dialogs.messages, QStringList(3, QStringLiteral("已经收藏！")));
    }

    void homeButton_followsTheFileOnlyWhenItExistedAtStart()
    {
        Fixture f;
        QVERIFY(f.start());
        f.page(0)->finishLoad(QStringLiteral("http://a/"), QStringLiteral("A"));
        writeFile(f.path(QStringLiteral("likepage/主页.LINK")), kHeader + "http://new-home/\r\n");
        f.form->Toolbar1_ButtonClick(4);
        QCOMPARE(f.front()->navigations.last(), kBlank);

        Fixture g;
        writeFile(g.path(QStringLiteral("likepage/主页.link")), kHeader + "http://old-home/\r\n");
        QVERIFY(g.start());
        g.page(0)->finishLoad(QStringLiteral("http://old-home/"), QStringLiteral("Home"));
        writeFile(g.path(QStringLiteral("likepage/主页.link")), kHeader + "http://new-home/\r\n");
        g.form->Toolbar1_ButtonClick(4);
        QCOMPARE(g.front()->navigations.last(), QStringLiteral("http://new-home/"));
        // A homepage file removed since start-up is reported, and nothing else happens.
        QFile::remove(g.path(QStringLiteral("likepage/主页.link")));
        const int pages = g.form->pages().pageList().size();
        g.form->Toolbar1_ButtonClick(4);
        QCOMPARE(g.form->pages().pageList().size(), pages);
        QCOMPARE(g.dialogs.messages.size(), 1);
    }

    void historyButtons_ignoreErrors()
    {
        Fixture f;
        QVERIFY(f.start());
        f.page(0)->failHistory = true;
        f.form->Toolbar1_ButtonClick(1);
        f.form->Toolbar1_ButtonClick(2);
        f.form->Toolbar1_ButtonClick(9);
        QVERIFY(f.dialogs.messages.isEmpty());
        f.page(0)->failHistory = false;
        f.form->Toolbar1_ButtonClick(1);
        f.form->Toolbar1_ButtonClick(2);
        f.form->Toolbar1_ButtonClick(7);
        QCOMPARE(f.page(0)->backs, 1);
        QCOMPARE(f.page(0)->forwards, 1);
        QCOMPARE(f.page(0)->refreshes, 1);
    }

    void enterInTheAddressBox_goesOrSearches_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("navigated");
        const QString s = QStringLiteral("http://127.0.0.1:1/s?q=");
        QTest::addRow("three labels go") << QStringLiteral("127.0.0.1:8/a.html") << Qt::KeyboardModifiers()
                                         << QStringLiteral("127.0.0.1:8/a.html");
        QTest::addRow("two labels search")
            << QStringLiteral("example.com") << Qt::KeyboardModifiers() << s + QStringLiteral("example.com");
        QTest::addRow("http word goes")
            << QStringLiteral("HTTP://word") << Qt::KeyboardModifiers() << QStringLiteral("HTTP://word");
        QTest::addRow("https word searched") << QStringLiteral("https://word") << Qt::KeyboardModifiers()
                                             << s + QStringLiteral("https://word");
        QTest::addRow("empty box searches") << QString() << Qt::KeyboardModifiers() << s;
        QTest::addRow("shift enter") << QStringLiteral("你好 world")
                                     << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                     << s + QStringLiteral("你好 world");
        QTest::addRow("ctrl enter") << QStringLiteral("a..") << Qt::KeyboardModifiers(Qt::ControlModifier)
                                    << QStringLiteral("a..");
    }

    void enterInTheAddressBox_goesOrSearches()
    {
        QFETCH(QString, typed);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, navigated);
        Fixture f;
        writeFile(f.path(QStringLiteral("搜索.txt")), "本地 TheHead: http://127.0.0.1:1/s?q=\r\n");
        QVERIFY(f.start());
        f.Text1()->setText(typed);
        QTest::keyClick(f.Text1(), Qt::Key_Return, modifiers);
        QCOMPARE(f.form->pages().pageList().size(), 1);
        QCOMPARE(f.page(0)->navigations.last(), navigated);
    }

    void search_withoutAnEngineTellsHowToAddOne()
    {
        Fixture f;
        QVERIFY(f.start());
        f.Text1()->setText(QStringLiteral("word"));
        f.form->Command6_Click();
        QCOMPARE(f.page(0)->navigations, QStringList { kBlank });
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages.first().contains(QLatin1Char('+')));
    }

    void engines_addAndReload()
    {
        Fixture f;
        writeFile(
            f.path(QStringLiteral("搜索.txt")), "A TheHead: http://a/?q=\r\nB TheHead: http://b/?q=\r\n");
        QVERIFY(f.start());
        f.Combo1()->setCurrentIndex(1);
        f.dialogs.answers = QStringList { QStringLiteral("新"), QStringLiteral("http://new/?q=") };
        f.form->Command7_Click();
        QCOMPARE(f.Combo1()->count(), 3);
        QCOMPARE(f.Combo1()->itemText(2), QStringLiteral("新"));
        QCOMPARE(f.Combo1()->currentIndex(), 1);
        QCOMPARE(f.form->engineList.last(), QStringLiteral("http://new/?q="));

        writeFile(f.path(QStringLiteral("搜索.txt")), "Only TheHead: http://only/?q=\n");
        QTest::keyClick(f.Combo1(), Qt::Key_Return);
        QCOMPARE(f.Combo1()->count(), 1);
        QCOMPARE(f.Combo1()->currentText(), QStringLiteral("Only"));
        QCOMPARE(f.form->engineList, QStringList { QStringLiteral("http://only/?q=") });
    }

    void handedOver_opensAndKeepsTheInstanceAlive()
    {
        Fixture f;
        writeFile(f.path(QStringLiteral("bad.link")), "nope\r\nhttp://x/\r\n");
        QVERIFY(f.start());
        f.form->showMinimized();
        QVERIFY(f.form->Form_LinkExecute(QStringLiteral("http://one/")));
        QVERIFY(f.form->windowState() & Qt::WindowMaximized);
        QCOMPARE(f.form->pages().pageList().size(), 1); // the box read about:blank
        f.page(0)->finishLoad(QStringLiteral("http://one/"), QStringLiteral("One"));
        QVERIFY(f.form->Form_LinkExecute(QStringLiteral("http://two/")));
        QCOMPARE(f.form->pages().pageList().size(), 2);
        QVERIFY(f.form->Form_LinkExecute(f.path(QStringLiteral("missing.link"))));
        QVERIFY(f.form->Form_LinkExecute(f.path(QStringLiteral("bad.link"))));
        QCOMPARE(f.dialogs.messages.size(), 2);
        QCOMPARE(f.dialogs.messages.last(), QStringLiteral("文件格式错误。"));
    }

    void zoomOut_walksEveryPageUntilTheFirstFailure()
    {
        Fixture f;
        QVERIFY(f.start());
        f.page(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("0"));
        f.form->Toolbar1_ButtonClick(3);
        f.page(1)->finishLoad(QStringLiteral("http://1/"), QStringLiteral("1"));
        f.form->Toolbar1_ButtonClick(3);
        f.page(1)->failZoom = true;
        f.form->Toolbar1_ButtonMenuClick();
        QVERIFY(f.page(0)->zoom < 1.0);
        QCOMPARE(f.page(1)->zoom, 1.0);
        QCOMPARE(f.page(2)->zoom, 1.0);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void resize_movesListedPagesOnly()
    {
        Fixture f;
        QVERIFY(f.start());
        f.form->show();
        f.form->resize(654, 457);
        QCOMPARE(f.page(0)->widget()->geometry(), QRect(0, 0, 654, 354));
        QCOMPARE(f.Text1()->width(), 451);
        f.page(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("0"));
        f.form->Toolbar1_ButtonClick(3);
        f.tabs()->setCurrentIndex(0);
        f.form->pages().Command5_Click(); // page 0 hidden, out of the list
        f.form->resize(800, 600);
        QCOMPARE(f.page(0)->widget()->size(), QSize(654, 354));
        QCOMPARE(f.page(1)->widget()->width(), 800);
        // A very narrow window keeps the address box as it was.
        f.form->resize(150, 600);
        QCOMPARE(f.Text1()->width(), 800 - 203);
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
