#include "failure.h"
#include "favoritesstore.h"
#include "form2.h"
#include "linkfile.h"
#include "scripteddialogs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

class TestForm2 final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void window_shapeAndList();
    void emptyFolder_nothingSelected_commandsHarmless();
    void missingFolder_createdAtLoad();
    void folderCannotBeMade_reportedAtLoad();
    void rename_prefilledName_putsHashInFront();
    void delete_thenCommandBeforeSelection_failsSilently();
    void setAsHomepage_replacesAndCloses();
    void doubleClick_wrongHeader_reportsAndCloses();
    void open_homepageEntry_handsOwnPath();
    void showFavorites_twice_oneWindow();

private:
    Form2 *makeWindow();
    QString put(const QString &name, const QByteArray &bytes = "[tarvo.link]\r\nhttp://x/\r\n");
    QStringList names() const;
    void trigger(Form2 *window, int index);
    // Reads link files as the main window does: a wrong header is reported, a read failure
    // reaches the caller.
    void openfile(const QString &path);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FavoritesStore> m_store;
    ScriptedDialogs m_dialogs;
    QStringList m_opened;
    QStringList m_navigated;
};

void TestForm2::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<FavoritesStore>(m_dir->path());
    QVERIFY(QDir(m_dir->path()).mkdir(u"likepage"_s));
    m_dialogs = ScriptedDialogs();
    m_opened.clear();
    m_navigated.clear();
}

void TestForm2::cleanup()
{
    QList<QPointer<Form2>> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Form2 *>(widget))
            windows.append(window);
    }
    qDeleteAll(windows);
    m_store.reset();
    m_dir.reset();
}

void TestForm2::openfile(const QString &path)
{
    m_opened.append(path);
    if (!path.endsWith(u".link"_s)) {
        m_navigated.append(path);
        return;
    }
    const LinkFile::ReadResult link = LinkFile::read(path);
    if (link.formatError) {
        m_dialogs.MsgBox(LinkFile::formatErrorMessage());
        return;
    }
    m_navigated.append(link.address);
}

Form2 *TestForm2::makeWindow()
{
    auto *window = new Form2(*m_store, m_dialogs, [this](const QString &path) { openfile(path); });
    window->show();
    return window;
}

QString TestForm2::put(const QString &name, const QByteArray &bytes)
{
    const QString path = m_store->folderPath() + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

QStringList TestForm2::names() const
{
    return QDir(m_store->folderPath()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void TestForm2::trigger(Form2 *window, int index)
{
    auto *action = window->findChild<QAction *>(u"menu%1"_s.arg(index));
    QVERIFY(action);
    action->trigger();
}

void TestForm2::window_shapeAndList()
{
    put(u"b.link"_s);
    put(u"a.txt"_s);
    QVERIFY(QDir(m_store->folderPath()).mkdir(u"sub"_s));
    QPointer<Form2> window = makeWindow();
    QCOMPARE(window->windowTitle(), u"收藏夹"_s);
    QVERIFY(window->windowFlags().testFlag(Qt::Tool));
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(window->parent(), nullptr);
    auto *list = window->findChild<QListWidget *>(u"File1"_s);
    QVERIFY(list);
    QCOMPARE(list->geometry(), QRect(0, 0, 313, 198));
    QCOMPARE(list->count(), 2);
    QCOMPARE(window->selFile(), m_store->folderPath() + u"/a.txt"_s);
    list->setCurrentRow(1);
    QCOMPARE(window->selFile(), m_store->folderPath() + u"/b.link"_s);
    QStringList captions;
    for (int i = 0; i < 4; ++i)
        captions.append(window->findChild<QAction *>(u"menu%1"_s.arg(i))->text());
    QCOMPARE(captions, (QStringList { u"打开"_s, u"删除"_s, u"修改"_s, u"设为主页"_s }));
    window->resize(600, 400);
    QCOMPARE(list->size(), QSize(313, 198));
    window->close();
    QTRY_VERIFY(!window);
}

void TestForm2::emptyFolder_nothingSelected_commandsHarmless()
{
    Form2 *window = makeWindow();
    auto *list = window->findChild<QListWidget *>(u"File1"_s);
    QCOMPARE(list->count(), 0);
    QVERIFY(window->selFile().isEmpty());
    m_dialogs.answers = { u"new"_s };
    for (int i = 0; i < 4; ++i)
        window->runCommand(i);
    QVERIFY(window->isVisible());
    QVERIFY(names().isEmpty());
    QCOMPARE(m_opened, QStringList { QString() });
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestForm2::missingFolder_createdAtLoad()
{
    QVERIFY(QDir(m_store->folderPath()).removeRecursively());
    Form2 *window = makeWindow();
    QVERIFY(QFileInfo(m_store->folderPath()).isDir());
    QCOMPARE(window->listedFolder(), m_store->folderPath());
}

void TestForm2::folderCannotBeMade_reportedAtLoad()
{
    QVERIFY(QDir(m_store->folderPath()).removeRecursively());
    QFile file(m_store->folderPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    Form2 *window = makeWindow();
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY(m_dialogs.messages.first().contains(m_store->folderPath()));
    QCOMPARE(window->findChild<QListWidget *>(u"File1"_s)->count(), 0);
}

void TestForm2::rename_prefilledName_putsHashInFront()
{
    put(u"x.link"_s);
    Form2 *window = makeWindow();
    m_dialogs.answers = { u"x.link"_s };
    trigger(window, Form2::Rename);
    QCOMPARE(m_dialogs.asked.size(), 1);
    QCOMPARE(m_dialogs.asked.first().prompt, u"请输入新名称。"_s);
    QCOMPARE(m_dialogs.asked.first().defaultAnswer, u"x.link"_s);
    QCOMPARE(names(), QStringList { u"#x.link"_s });
    auto *list = window->findChild<QListWidget *>(u"File1"_s);
    QCOMPARE(list->item(0)->text(), u"#x.link"_s);
    QVERIFY(window->isVisible());
}

void TestForm2::delete_thenCommandBeforeSelection_failsSilently()
{
    put(u"a.link"_s);
    put(u"b.link"_s);
    Form2 *window = makeWindow();
    auto *list = window->findChild<QListWidget *>(u"File1"_s);
    trigger(window, Form2::Delete);
    QCOMPARE(names(), QStringList { u"b.link"_s });
    QCOMPARE(list->count(), 1);
    QCOMPARE(window->selFile(), m_store->folderPath() + u"/a.link"_s);

    // The deleted path is still the selection: a second delete and open fail silently.
    put(u"c.link"_s); // not shown until the list is read again
    trigger(window, Form2::Delete);
    trigger(window, Form2::Open);
    QCOMPARE(list->count(), 1);
    QCOMPARE(names(), (QStringList { u"b.link"_s, u"c.link"_s }));
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(window->isVisible());
}

void TestForm2::setAsHomepage_replacesAndCloses()
{
    put(u"主页.link"_s, "[tarvo.link]\r\nold\r\n");
    put(u"a.link"_s, "[tarvo.link]\r\nnew\r\n");
    QPointer<Form2> window = makeWindow();
    trigger(window, Form2::SetAsHomepage);
    QCOMPARE(m_dialogs.messages, QStringList { u"已经设置为主页!"_s });
    QTRY_VERIFY(!window);
    QCOMPARE(names(), (QStringList { u"a.link"_s, u"主页.LINK"_s }));
    QCOMPARE(LinkFile::read(m_store->homeAtStartup()).address, u"new"_s);
    QVERIFY(m_opened.isEmpty());
}

void TestForm2::doubleClick_wrongHeader_reportsAndCloses()
{
    put(u"bad.link"_s, "[TARVO.LINK]\r\nhttp://x/\r\n");
    QPointer<Form2> window = makeWindow();
    auto *list = window->findChild<QListWidget *>(u"File1"_s);
    const QRect rect = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTRY_VERIFY(!window);
    QCOMPARE(m_opened, QStringList { m_store->folderPath() + u"/bad.link"_s });
    QCOMPARE(m_dialogs.messages, QStringList { u"文件格式错误。"_s });
    QVERIFY(m_navigated.isEmpty());
}

void TestForm2::open_homepageEntry_handsOwnPath()
{
    const QString home = put(u"主页.LINK"_s);
    Form2 *window = makeWindow();
    trigger(window, Form2::Open);
    QCOMPARE(m_opened, QStringList { home });
    QCOMPARE(m_navigated, QStringList { home });
    QVERIFY(window->isVisible());
}

void TestForm2::showFavorites_twice_oneWindow()
{
    auto open = [this](const QString &path) { openfile(path); };
    QPointer<Form2> first = Form2::showFavorites(*m_store, m_dialogs, open);
    Form2 *second = Form2::showFavorites(*m_store, m_dialogs, open);
    QCOMPARE(second, first.data());
    QVERIFY(first->isVisible());
    first->close();
    QTRY_VERIFY(!first);
    QPointer<Form2> third = Form2::showFavorites(*m_store, m_dialogs, open);
    QVERIFY(third);
    QVERIFY(third->isVisible());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
