#include "fakebrowser.h"
#include "fakewindow.h"
#include "form1.h"
#include "pageset.h"
#include "popuppolicy.h"
#include "scripteddialogs.h"
#include "sessionkeeper.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
const QString kBlank = QStringLiteral("about:blank");
const QByteArray kHeader = "[tarvo.link]\r\n";

// Counts the times a widget gets the keyboard focus.
struct FocusCounter : QObject
{
    int focusIns = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn)
            ++focusIns;
        return false;
    }
};

// One "address|title" per page, as the session file holds them, the page in front marked "*".
QStringList sessionPages(const QString &path)
{
    const SessionFile::ReadResult read = SessionFile::read(path);
    QStringList pages;
    for (int i = 0; i < read.contents.pages.size(); ++i) {
        const SessionFile::Page &page = read.contents.pages.at(i);
        pages.append((i == read.contents.front ? QStringLiteral("*") : QString()) + page.address
            + QLatin1Char('|') + page.title);
    }
    return pages;
}

QByteArray sessionBytes(int front, const QList<QByteArray> &lines)
{
    QByteArray bytes = "[kovalis.pages]\n" + QByteArray::number(front) + "\n";
    for (const QByteArray &line : lines)
        bytes += line + "\n";
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
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
        QTest::addColumn<bool>("ahead"); // the window was made with the command line
        const QString lower = QStringLiteral("主页.link");
        for (const bool ahead : { false, true }) {
            const char *sent = ahead ? ", sent ahead" : "";
            QTest::addRow("nothing: blank%s", sent) << QString() << QString() << kBlank << ahead;
            QTest::addRow("home file%s", sent)
                << QString() << lower << QStringLiteral("http://home.test/") << ahead;
            QTest::addRow("home file in capitals%s", sent)
                << QString() << QStringLiteral("主页.LINK") << QStringLiteral("http://home.test/") << ahead;
            QTest::addRow("argument wins over home%s", sent)
                << QStringLiteral("http://arg.test/") << lower << QStringLiteral("http://arg.test/") << ahead;
            QTest::addRow("quoted link path with blanks%s", sent)
                << QStringLiteral("\"$/my links/a b.link\"") << QString() << QStringLiteral("http://ab.test/")
                << ahead;
            QTest::addRow("every quote removed%s", sent) << QStringLiteral("http://x\".test/\"q") << QString()
                                                         << QStringLiteral("http://x.test/q") << ahead;
        }
    }

    void startUp_opensTheArgumentOrHome()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, homepage);
        QFETCH(QString, expected);
        QFETCH(bool, ahead);
        Fixture f;
        const QString homeFile = f.path(QStringLiteral("likepage/") + homepage);
        if (!homepage.isEmpty())
            writeFile(homeFile, kHeader + "http://home.test/\r\n");
        writeFile(f.path(QStringLiteral("my links/a b.link")), kHeader + "http://ab.test/\r\n");
        commandLine.replace(QLatin1Char('$'), f.folder.path());
        // Sent ahead, the front page goes there before the window is loaded, and only once.
        f.make(ahead ? std::optional(commandLine) : std::nullopt);
        QCOMPARE(f.page(0)->navigations, ahead ? QStringList { expected } : QStringList {});
        QVERIFY(f.form->Form_Load(commandLine));
        QCOMPARE(f.page(0)->navigations, QStringList { expected });
        QCOMPARE(f.form->pages().pageList(), QList<qint16> { 0 });
        QCOMPARE(f.form->home, homepage.isEmpty() ? kBlank : homeFile);
        QVERIFY(f.dialogs.messages.isEmpty());
        // The engine file is created empty at the first start.
        QCOMPARE(QFileInfo(f.path(QStringLiteral("搜索.txt"))).size(), 0);
    }

    void startUp_aLinkFileThatCannotBeOpenedIsReportedOnce_data()
    {
        QTest::addColumn<QByteArray>("contents"); // empty: no file
        QTest::addColumn<bool>("loads");
        QTest::addColumn<bool>("ahead");
        for (const bool ahead : { false, true }) {
            const char *sent = ahead ? ", sent ahead" : "";
            QTest::addRow("missing%s", sent) << QByteArray() << false << ahead;
            QTest::addRow("not a link file%s", sent) << QByteArray("just text\r\n") << true << ahead;
        }
    }

    void startUp_aLinkFileThatCannotBeOpenedIsReportedOnce()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, loads);
        QFETCH(bool, ahead);
        Fixture f;
        const QString link = f.path(QStringLiteral("gone.link"));
        if (!contents.isEmpty())
            writeFile(link, contents);
        f.make(ahead ? std::optional(link) : std::nullopt);
        QVERIFY(f.dialogs.messages.isEmpty());
        QCOMPARE(f.form->Form_Load(link), loads);
        QCOMPARE(f.dialogs.messages.size(), 1);
        if (contents.isEmpty())
            QVERIFY(f.dialogs.messages.first().contains(QStringLiteral("gone.link")));
        QCOMPARE(f.page(0)->navigations, QStringList {});
    }

    void startUp_sentAheadElsewhere_opensWhatTheLoadIsGiven()
    {
        // The homepage file may change between the two reads.
        Fixture f;
        f.make(QStringLiteral("http://first.test/"));
        QVERIFY(f.form->Form_Load(QStringLiteral("http://second.test/")));
        QCOMPARE(f.page(0)->navigations,
            (QStringList { QStringLiteral("http://first.test/"), QStringLiteral("http://second.test/") }));
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
        f.front()->finishLoad(QStringLiteral("http://now/"), QStringLiteral("Now"));
        f.Text1()->setText(addressBox);
        f.form->openfile(f.path(name), OpenIn::NewPage);
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
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
        QCOMPARE(f.form->pages().pageList().size(), 1);
        f.page(0)->finishLoad(QStringLiteral("http://a/"), QStringLiteral("A"));
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
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
            f.form->runToolbarCommand(ToolbarCommand::AddFavorite);
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
        f.form->runToolbarCommand(ToolbarCommand::Home);
        QCOMPARE(f.front()->navigations.last(), kBlank);

        Fixture g;
        writeFile(g.path(QStringLiteral("likepage/主页.link")), kHeader + "http://old-home/\r\n");
        QVERIFY(g.start());
        g.page(0)->finishLoad(QStringLiteral("http://old-home/"), QStringLiteral("Home"));
        writeFile(g.path(QStringLiteral("likepage/主页.link")), kHeader + "http://new-home/\r\n");
        g.form->runToolbarCommand(ToolbarCommand::Home);
        QCOMPARE(g.front()->navigations.last(), QStringLiteral("http://new-home/"));
        // A homepage file removed since start-up is reported, and nothing else happens.
        QFile::remove(g.path(QStringLiteral("likepage/主页.link")));
        const int pages = g.form->pages().pageList().size();
        g.form->runToolbarCommand(ToolbarCommand::Home);
        QCOMPARE(g.form->pages().pageList().size(), pages);
        QCOMPARE(g.dialogs.messages.size(), 1);
    }

    void historyButtons_ignoreErrors()
    {
        Fixture f;
        QVERIFY(f.start());
        f.page(0)->failHistory = true;
        f.form->runToolbarCommand(ToolbarCommand::Back);
        f.form->runToolbarCommand(ToolbarCommand::Forward);
        QVERIFY(f.dialogs.messages.isEmpty());
        f.page(0)->failHistory = false;
        f.form->runToolbarCommand(ToolbarCommand::Back);
        f.form->runToolbarCommand(ToolbarCommand::Forward);
        f.form->runToolbarCommand(ToolbarCommand::Refresh);
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
                                             << s + QStringLiteral("https%3A%2F%2Fword");
        // The words are one query value: nothing in them ends it or changes its meaning.
        QTest::addRow("plus signs") << QStringLiteral("C++") << Qt::KeyboardModifiers()
                                    << s + QStringLiteral("C%2B%2B");
        QTest::addRow("ampersand and hash")
            << QStringLiteral("a&b#c") << Qt::KeyboardModifiers() << s + QStringLiteral("a%26b%23c");
        QTest::addRow("percent sign")
            << QStringLiteral("100%") << Qt::KeyboardModifiers() << s + QStringLiteral("100%25");
        QTest::addRow("empty box searches") << QString() << Qt::KeyboardModifiers() << s;
        QTest::addRow("shift enter") << QStringLiteral("你好 world")
                                     << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                     << s + QStringLiteral("%E4%BD%A0%E5%A5%BD%20world");
        QTest::addRow("ctrl enter") << QStringLiteral("a..") << Qt::KeyboardModifiers(Qt::ControlModifier)
                                    << QStringLiteral("a..");
        QTest::addRow("keypad enter goes")
            << QStringLiteral("127.0.0.1:8/a.html") << Qt::KeyboardModifiers(Qt::KeypadModifier)
            << QStringLiteral("127.0.0.1:8/a.html");
        QTest::addRow("a search keeps the spaces") << QStringLiteral(" 你好 ") << Qt::KeyboardModifiers()
                                                   << s + QStringLiteral("%20%E4%BD%A0%E5%A5%BD%20");
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
        QTest::keyClick(
            f.Text1(), modifiers & Qt::KeypadModifier ? Qt::Key_Enter : Qt::Key_Return, modifiers);
        QCOMPARE(f.form->pages().pageList().size(), 1);
        QCOMPARE(f.page(0)->navigations.last(), navigated);
    }

    void addressBox_clickDragAndDoubleClick_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QString>("selected"); // "none", "part" or "all" of the text
        QTest::addColumn<int>("roundTrips"); // visits of the focus to the go button
        QTest::addRow("single click: focus to go and back")
            << QStringLiteral("click") << QStringLiteral("none") << 1;
        QTest::addRow("drag keeps its selection") << QStringLiteral("drag") << QStringLiteral("part") << 0;
        QTest::addRow("shift-click keeps its selection")
            << QStringLiteral("shift-click") << QStringLiteral("part") << 1;
        QTest::addRow("double click selects a text longer than the box")
            << QStringLiteral("double click") << QStringLiteral("all") << 1;
    }

    void addressBox_clickDragAndDoubleClick()
    {
        QFETCH(QString, gesture);
        QFETCH(QString, selected);
        QFETCH(int, roundTrips);
        Fixture f;
        QVERIFY(f.start());
        f.form->show();
        f.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        const QString text = QStringLiteral("http://long.test/") + QString(300, QLatin1Char('a'));
        f.Text1()->setText(text);
        QVERIFY(f.Text1()->fontMetrics().horizontalAdvance(text) > f.Text1()->width());
        FocusCounter go;
        f.form->findChild<QPushButton *>(QStringLiteral("Command3"))->installEventFilter(&go);

        // Through the window, so Qt makes the double click out of two clicks as it does for a user.
        QWindow *window = f.form->windowHandle();
        const auto at = [&](int x) {
            return window->mapFromGlobal(f.Text1()->mapToGlobal(QPoint(x, f.Text1()->height() / 2)));
        };
        if (gesture == QStringLiteral("click")) {
            QTest::mouseClick(window, Qt::LeftButton, {}, at(30));
        } else if (gesture == QStringLiteral("drag")) {
            QTest::mousePress(window, Qt::LeftButton, {}, at(10));
            QTest::mouseMove(window, at(60));
            QTest::mouseMove(window, at(120));
            QTest::mouseRelease(window, Qt::LeftButton, {}, at(120));
        } else if (gesture == QStringLiteral("shift-click")) {
            QTest::mouseClick(window, Qt::LeftButton, {}, at(10));
            QTest::mouseClick(window, Qt::LeftButton, Qt::ShiftModifier, at(120));
        } else {
            QTest::mouseDClick(window, Qt::LeftButton, {}, at(30));
        }
        if (selected == QStringLiteral("none"))
            QCOMPARE(f.Text1()->selectedText(), QString());
        else if (selected == QStringLiteral("all"))
            QCOMPARE(f.Text1()->selectedText(), text);
        else
            QVERIFY2(!f.Text1()->selectedText().isEmpty() && f.Text1()->selectedText() != text,
                qPrintable(f.Text1()->selectedText()));
        QCOMPARE(QApplication::focusWidget(), f.Text1());
        QCOMPARE(go.focusIns, roundTrips);
    }

    void search_withoutAnEngineTellsHowToAddOne()
    {
        Fixture f;
        QVERIFY(f.start());
        f.Text1()->setText(QStringLiteral("word"));
        f.form->search();
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
        f.form->addSearchEngine();
        QCOMPARE(f.Combo1()->count(), 3);
        QCOMPARE(f.Combo1()->itemText(2), QStringLiteral("新"));
        QCOMPARE(f.Combo1()->currentIndex(), 1);
        QCOMPARE(f.form->engineList.last(), QStringLiteral("http://new/?q="));

        // A file that has become a folder cannot be read: the lists stay as they were.
        QVERIFY(QFile::remove(f.path(QStringLiteral("搜索.txt"))));
        QVERIFY(QDir().mkdir(f.path(QStringLiteral("搜索.txt"))));
        QTest::keyClick(f.Combo1(), Qt::Key_Return);
        QCOMPARE(f.Combo1()->count(), 3);
        QCOMPARE(f.form->engineList.size(), 3);
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(QDir().rmdir(f.path(QStringLiteral("搜索.txt"))));

        writeFile(f.path(QStringLiteral("搜索.txt")), "Only TheHead: http://only/?q=\n");
        QTest::keyClick(f.Combo1(), Qt::Key_Return);
        QCOMPARE(f.Combo1()->count(), 1);
        QCOMPARE(f.Combo1()->currentText(), QStringLiteral("Only"));
        QCOMPARE(f.form->engineList, QStringList { QStringLiteral("http://only/?q=") });
    }

    void engines_onlyWebAddressesAreSearchStrings()
    {
        Fixture f;
        const QByteArray file = "JS TheHead: javascript:alert(document.cookie)//\r\n"
                                "A TheHead: http://a/?q=\r\n"
                                "F TheHead: file:///etc/passwd?\r\n"
                                "Hidden TheHead:  http://b/?q=\r\n"
                                "B TheHead: HTTPS://b/?q=\r\n";
        writeFile(f.path(QStringLiteral("搜索.txt")), file);
        QVERIFY(f.start());
        // The file still loads; the status bar says what was left out.
        QCOMPARE(f.form->engineList,
            (QStringList { QStringLiteral("http://a/?q="), QStringLiteral("HTTPS://b/?q=") }));
        QCOMPARE(f.Combo1()->count(), 2);
        const QString status = f.form->findChild<QLabel *>(QStringLiteral("StatusPanel1"))->text();
        QVERIFY2(status.contains(QStringLiteral("3 行")), qPrintable(status));
        // Added through "+": refused with a message, the file and the list unchanged.
        for (const QString &bad : { QStringLiteral("javascript:alert(document.cookie)//"),
                 QStringLiteral("JavaScript:void(0)//"), QStringLiteral("data:text/html,"),
                 QStringLiteral("file:///tmp/"), QStringLiteral("http:///s?q="), QString() }) {
            f.dialogs.messages.clear();
            f.dialogs.answers = QStringList { QStringLiteral("坏"), bad };
            f.form->addSearchEngine();
            QCOMPARE(f.dialogs.messages.size(), 1);
            QVERIFY2(f.dialogs.messages.first().contains(QStringLiteral("http://")), qPrintable(bad));
            QCOMPARE(f.Combo1()->count(), 2);
            QCOMPARE(readFile(f.path(QStringLiteral("搜索.txt"))), file);
        }
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

    // Under load a second start can arrive while the first one's page is still on its way: the
    // address box still reads about:blank, but that page is taken.
    void handedOver_oneAfterAnotherBeforeLoading_eachGetsAPage()
    {
        Fixture f;
        QVERIFY(f.start());
        for (const QString &address : { QStringLiteral("http://3/"), QStringLiteral("http://4/") })
            QVERIFY(f.form->Form_LinkExecute(address));
        QCOMPARE(f.form->pages().pageList().size(), 2);
        QCOMPARE(f.page(0)->navigations.last(), QStringLiteral("http://3/"));
        QCOMPARE(f.page(1)->navigations, QStringList { QStringLiteral("http://4/") });
    }

    void session_keptAMomentAfterEachChangeAndRemovedOnClose()
    {
        Fixture f;
        QVERIFY(f.start());
        const QString file = f.form->session().path();
        QCOMPARE(QFileInfo(file).absolutePath(), QFileInfo(f.folder.path()).absoluteFilePath());
        f.page(0)->finishLoad(QStringLiteral("http://one/"), QStringLiteral("一"));
        for (const char *address : { "http://two/", "javascript:alert(1)", "http://three/" }) {
            QVERIFY(f.form->Form_LinkExecute(QString::fromLatin1(address)));
            f.front()->finishLoad(QString::fromLatin1(address), QStringLiteral("二\t标题"));
        }
        f.tabs()->setCurrentIndex(1);
        // Blank and script pages are not worth offering again.
        QTRY_COMPARE(sessionPages(file),
            (QStringList { QStringLiteral("http://one/|一"), QStringLiteral("*http://two/|二 标题"),
                QStringLiteral("http://three/|二 标题") }));
        f.tabs()->setCurrentIndex(0);
        QTRY_COMPARE(sessionPages(file).value(0), QStringLiteral("*http://one/|一"));
        f.form->close();
        QVERIFY(!QFile::exists(file));
    }

    void session_lastPagesOfferedAtStart_data()
    {
        QTest::addColumn<QByteArray>("file"); // "fifo" and "folder" make those instead
        QTest::addColumn<QString>("answer"); // yes, no, or unattended
        QTest::addColumn<int>("offered");
        QTest::addColumn<QStringList>("pagesAfter"); // addresses in tab order, "*" in front
        QTest::addColumn<QString>("status");
        const QByteArray three
            = sessionBytes(1, { "http://one/\t一", "http://two/\t二", "http://three/\t三" });
        const QStringList blank { QStringLiteral("*about:blank") };
        QTest::addRow("reopened") << three << u"yes"_s << 3
                                  << QStringList { u"http://one/"_s, u"*http://two/"_s, u"http://three/"_s }
                                  << QString();
        QTest::addRow("not wanted") << three << u"no"_s << 3 << blank << QString();
        QTest::addRow("nobody at the screen") << three << u"unattended"_s << 3 << blank << QString();
        QTest::addRow("script addresses left out")
            << sessionBytes(
                   2, { "javascript:alert(1)\tx", "JavaScript:void(0)", "http://ok/\tok", "data:,x" })
            << u"yes"_s << 1 << QStringList { u"*http://ok/"_s } << QString();
        QTest::addRow("only script addresses")
            << sessionBytes(0, { "javascript:alert(1)" }) << u"yes"_s << 0 << blank << QString();
        QTest::addRow("front beyond the list")
            << sessionBytes(99, { "http://a/", "http://b/" }) << u"yes"_s << 2
            << QStringList { u"*http://a/"_s, u"http://b/"_s } << QString();
        QByteArray many = "[kovalis.pages]\n0\n";
        for (int i = 0; i < 10000; ++i)
            many += "http://p" + QByteArray::number(i) + ".test/\t" + QByteArray::number(i) + "\n";
        QStringList first500 { u"*http://p0.test/"_s };
        for (int i = 1; i < SessionFile::maxPages; ++i)
            first500.append(QStringLiteral("http://p%1.test/").arg(i));
        QTest::addRow("10,000 pages") << many << u"yes"_s << SessionFile::maxPages << first500 << QString();
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) % 251);
        QTest::addRow("binary junk") << junk << u"yes"_s << 0 << blank << u"无法读取"_s;
        QTest::addRow("header, then junk") << QByteArray("[kovalis.pages]\n0\n\xff\xfe\x00http://x/")
                                           << u"yes"_s << 0 << blank << u"不是Kovalis的网页列表"_s;
        QByteArray huge = "[kovalis.pages]\n0\nhttp://x/\t";
        huge.append(10 * 1024 * 1024, 'a');
        QTest::addRow("10 MB") << huge << u"yes"_s << 0 << blank << u"太大"_s;
        QTest::addRow("a pipe") << QByteArray("fifo") << u"yes"_s << 0 << blank << u"不是普通文件"_s;
        QTest::addRow("a folder") << QByteArray("folder") << u"yes"_s << 0 << blank << u"文件夹"_s;
    }

    void session_lastPagesOfferedAtStart()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, answer);
        QFETCH(int, offered);
        QFETCH(QStringList, pagesAfter);
        QFETCH(QString, status);
        Fixture f;
        f.make();
        const QString path = f.form->session().path();
        if (file == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (file == "folder")
            QVERIFY(QDir().mkpath(path));
        else
            writeFile(path, file);
        f.form->session().setAskUser(answer != u"unattended"_s);
        QVERIFY(f.form->Form_Load(QString()));

        QCOMPARE(f.form->session().offered(), offered);
        auto *bar = f.form->findChild<QFrame *>(QStringLiteral("RestoreBar"));
        QCOMPARE(bar != nullptr, offered > 0 && answer != u"unattended"_s);
        if (bar) {
            QCOMPARE(bar->findChild<QLabel *>()->text(),
                QStringLiteral("Kovalis上次没有正常关闭。要重新打开那 %1 个网页吗？").arg(offered));
            bar->findChild<QPushButton *>(answer == u"yes"_s ? u"RestoreYes"_s : u"RestoreNo"_s)->click();
            QTRY_VERIFY(!f.form->findChild<QFrame *>(QStringLiteral("RestoreBar")));
        }
        QStringList pages;
        for (qint16 page : f.form->pages().pageList()) {
            pages.append((page == f.form->pages().curP() ? u"*"_s : QString()) + f.page(page)->location);
        }
        QCOMPARE(pages, pagesAfter);
        const QString said = f.form->findChild<QLabel *>(QStringLiteral("StatusPanel1"))->text();
        QVERIFY2(status.isEmpty() ? !said.contains(u"网页列表"_s) : said.contains(status), qPrintable(said));

        if (answer == u"unattended"_s) {
            // Nothing is opened and the file stays as it was until a normal close.
            f.page(0)->finishLoad(u"http://now/"_s, u"now"_s);
            QCOMPARE(f.form->session().offered(), offered);
            QFile reading(path);
            QVERIFY(reading.open(QIODevice::ReadOnly));
            QCOMPARE(reading.readAll(), file);
        } else if (offered > 0) {
            // After an answer the file follows this run's pages.
            f.front()->finishLoad(u"http://now/"_s, u"now"_s);
            QTRY_VERIFY(sessionPages(path).contains(u"*http://now/|now"_s));
        }
        f.form->close();
        if (file != "folder")
            QVERIFY(!QFileInfo(path).exists() && !QFileInfo(path).isSymLink());
    }

    void zoomOut_walksEveryPageUntilTheFirstFailure()
    {
        Fixture f;
        QVERIFY(f.start());
        f.page(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("0"));
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
        f.page(1)->finishLoad(QStringLiteral("http://1/"), QStringLiteral("1"));
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
        f.page(1)->failZoom = true;
        f.form->zoomOut();
        QCOMPARE(f.page(0)->zoom, 0.9);
        QCOMPARE(f.page(1)->zoom, 1.0);
        QCOMPARE(f.page(2)->zoom, 1.0);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    // The window draws the page set: one tab per page, the page in front alone shown, its
    // address and title in the address box and the caption.
    void pageArea_showsThePageInFrontOnly()
    {
        Fixture f;
        QVERIFY(f.start());
        const auto verifyDrawn = [&f] {
            const PageSet &pages = f.form->pages();
            QCOMPARE(f.tabs()->count(), pages.pageList().size());
            QCOMPARE(f.tabs()->currentIndex(), pages.TabPos(pages.curP()) - 1);
            QList<qint16> open = pages.pageList();
            if (!open.contains(0))
                open.append(0);
            for (qint16 page : open) {
                FakeBrowser *made = f.page(page);
                QCOMPARE(!made->widget()->isHidden(), made == f.front());
                QCOMPARE(
                    made->widget()->parentWidget(), f.form->findChild<QWidget *>(QStringLiteral("Picture2")));
            }
            QCOMPARE(f.Text1()->text(), f.front()->location);
            QCOMPARE(f.form->windowTitle(), f.front()->title);
        };
        f.page(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("Zero"));
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
        f.page(1)->finishLoad(QStringLiteral("http://1/"), QStringLiteral("One"));
        QCOMPARE(f.tabs()->tabText(1), QStringLiteral("One"));
        verifyDrawn();
        f.tabs()->setCurrentIndex(0);
        QCOMPARE(f.form->pages().curP(), qint16(0));
        verifyDrawn();
        Q_EMIT f.page(1)->statusTextChanged(QStringLiteral("from behind"));
        QCOMPARE(f.form->findChild<QLabel *>(QStringLiteral("StatusPanel1"))->text(),
            QStringLiteral("from behind"));
        // Page 0 closed behind page 1 stays, hidden.
        f.form->pages().closeCurrent();
        QVERIFY(f.page(0)->widget()->isHidden());
        QCOMPARE(f.tabs()->tabText(0), QStringLiteral("One"));
        verifyDrawn();
        f.form->pages().closeCurrent();
        QCOMPARE(f.form->pages().pageList(), QList<qint16> { 0 });
        QVERIFY(!f.page(0)->widget()->isHidden());
        QCOMPARE(f.tabs()->count(), 1);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    // The offer to allow a site's popups belongs to the page that was stopped; any other page in
    // front takes it away.
    void popupOffer_goesWithThePageInFront_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addRow("new page") << u"new page"_s;
        QTest::addRow("tab chosen") << u"tab"_s;
        QTest::addRow("page closed") << u"close"_s;
    }

    void popupOffer_goesWithThePageInFront()
    {
        QFETCH(QString, route);
        Fixture f;
        QVERIFY(f.start());
        f.page(0)->finishLoad(u"http://0/"_s, u"Zero"_s);
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
        f.page(1)->finishLoad(u"http://1/"_s, u"One"_s);
        auto *offer = f.form->findChild<QToolButton *>(u"AllowPopups"_s);
        QVERIFY(offer);
        PopupPolicy::instance().block(f.page(0), u"http://0"_s);
        QVERIFY(offer->isHidden());
        PopupPolicy::instance().block(f.page(1), u"http://1"_s);
        QVERIFY(!offer->isHidden());
        QVERIFY(offer->text().contains(u"1"_s));
        if (route == u"new page")
            f.form->runToolbarCommand(ToolbarCommand::NewPage);
        else if (route == u"tab")
            f.tabs()->setCurrentIndex(0);
        else
            f.form->pages().closeCurrent();
        QVERIFY(f.front() != f.page(1));
        QVERIFY(offer->isHidden());
    }

    void pageTitle_shownAsItIs_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addRow("ampersand") << QStringLiteral("Tom & Jerry &Co");
        QTest::addRow("doubled ampersand") << QStringLiteral("a && b");
        QTest::addRow("modified marker") << QStringLiteral("草稿 [*] 未保存");
        QTest::addRow("two markers") << QStringLiteral("[*][*]");
    }

    void pageTitle_shownAsItIs()
    {
        QFETCH(QString, title);
        Fixture f;
        QVERIFY(f.start());
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.page(0)->finishLoad(QStringLiteral("http://0/"), QStringLiteral("Zero"));
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
        f.page(1)->finishLoad(QStringLiteral("http://1/"), title);
        // What is drawn: the platform window's caption, and the tab's name as read aloud.
        QCOMPARE(f.form->windowHandle()->title(), title);
        QAccessibleInterface *tabs = QAccessible::queryAccessibleInterface(f.tabs());
        QVERIFY(tabs && tabs->childCount() >= 2);
        QCOMPARE(tabs->child(1)->text(QAccessible::Name), title);
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
        f.form->runToolbarCommand(ToolbarCommand::NewPage);
        f.tabs()->setCurrentIndex(0);
        f.form->pages().closeCurrent(); // page 0 hidden, out of the list
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
