#include "addressrule.h"
#include "engineadder.h"
#include "failure.h"
#include "scripteddialogs.h"
#include "searchenginefile.h"
#include "texteditor.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray gbk(const QString &text)
{
    return QStringEncoder("GB18030").encode(text);
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
} // namespace

// The search-engine file, the Enter rule of the address box and the "+" button's questions.
class tst_Navigation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { setTextEditorLauncherForTests({}); }

    void load_missingFileIsCreatedEmpty()
    {
        QTemporaryDir dir;
        QVERIFY(SearchEngineFile::load(dir.path()).isEmpty());
        QFileInfo created(SearchEngineFile::path(dir.path()));
        QVERIFY(created.isFile());
        QCOMPARE(created.size(), 0);
    }

    void load_lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("strings");
        QTest::addRow("middle line without separator")
                << QByteArray("a TheHead: http://a/?q=\r\nno separator\r\nb TheHead: http://b/?q=\r\n")
                << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                << QStringList{QStringLiteral("http://a/?q="), QStringLiteral("http://b/?q=")};
        QTest::addRow("only the separator") << QByteArray(" TheHead: ") << QStringList{QString()}
                                            << QStringList{QString()};
        QTest::addRow("two separators") << QByteArray("n TheHead: s TheHead: rest\r\n") << QStringList{QStringLiteral("n")}
                                        << QStringList{QStringLiteral("s")};
        QTest::addRow("other case or no spaces is no separator")
                << QByteArray("a theHead: x\r\nb TheHead:y\r\nc TheHead : z\r\n") << QStringList{} << QStringList{};
        QTest::addRow("spaces are kept") << QByteArray("  a  TheHead:  s \r\n") << QStringList{QStringLiteral("  a ")}
                                         << QStringList{QStringLiteral(" s ")};
        QTest::addRow("LF-only lines") << QByteArray("a TheHead: 1\nb TheHead: 2\n")
                                       << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                                       << QStringList{QStringLiteral("1"), QStringLiteral("2")};
        QTest::addRow("CR-only lines, no final end") << QByteArray("a TheHead: 1\rb TheHead: 2")
                                                     << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                                                     << QStringList{QStringLiteral("1"), QStringLiteral("2")};
        QTest::addRow("GBK names") << gbk(QStringLiteral("百度 TheHead: http://s/?wd=\r\n"))
                                   << QStringList{QStringLiteral("百度")} << QStringList{QStringLiteral("http://s/?wd=")};
        QTest::addRow("UTF-8 names") << QStringLiteral("搜狗 TheHead: http://u/?q=\r\n").toUtf8()
                                     << QStringList{QStringLiteral("搜狗")} << QStringList{QStringLiteral("http://u/?q=")};
    }

    void load_lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        QFETCH(QStringList, strings);
        QTemporaryDir dir;
        writeBytes(SearchEngineFile::path(dir.path()), bytes);
        QStringList gotNames, gotStrings;
        for (const Engine &e : SearchEngineFile::load(dir.path())) {
            gotNames.append(e.name);
            gotStrings.append(e.searchString);
        }
        QCOMPARE(gotNames, names);
        QCOMPARE(gotStrings, strings);
    }

    void load_unreadableFileFails()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("搜索.txt")));
        QVERIFY_THROWS_EXCEPTION(Failure, SearchEngineFile::load(dir.path()));
        QVERIFY_THROWS_EXCEPTION(Failure, SearchEngineFile::load(dir.filePath(QStringLiteral("no/such/folder"))));
    }

    void append_keepsTheFilesEncoding_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QString line = QStringLiteral("新 TheHead: http://n/?q=\r\n");
        QTest::addRow("new file is GB18030") << QByteArray() << gbk(line);
        QTest::addRow("GBK file stays GBK") << gbk(QStringLiteral("旧 TheHead: o\r\n"))
                                            << gbk(QStringLiteral("旧 TheHead: o\r\n") + line);
        QTest::addRow("UTF-8 file stays UTF-8") << QStringLiteral("旧 TheHead: o\r\n").toUtf8()
                                                << (QStringLiteral("旧 TheHead: o\r\n") + line).toUtf8();
        QTest::addRow("last line without an end") << QByteArray("a TheHead: 1")
                                                  << QByteArray("a TheHead: 1\r\n") + gbk(line);
    }

    void append_keepsTheFilesEncoding()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        if (!before.isEmpty())
            writeBytes(SearchEngineFile::path(dir.path()), before);
        SearchEngineFile::append(dir.path(), {QStringLiteral("新"), QStringLiteral("http://n/?q=")});
        QCOMPARE(readBytes(SearchEngineFile::path(dir.path())), after);
        QCOMPARE(SearchEngineFile::load(dir.path()).last().name, QStringLiteral("新"));
    }

    void enterAction_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("go");
        QTest::addRow("three labels") << QStringLiteral("www.example.com") << true;
        QTest::addRow("two labels") << QStringLiteral("example.com") << false;
        QTest::addRow("two full stops alone") << QStringLiteral("..") << true;
        QTest::addRow("a sentence with two full stops") << QStringLiteral("Hi. There.") << true;
        QTest::addRow("single word") << QStringLiteral("word") << false;
        QTest::addRow("https word") << QStringLiteral("https://word") << false;
        QTest::addRow("HTTP word") << QStringLiteral("HTTP://word") << true;
        QTest::addRow("http word") << QStringLiteral("http://word") << true;
        QTest::addRow("empty") << QString() << false;
        QTest::addRow("leading space before http") << QStringLiteral(" http://x") << false;
    }

    void enterAction()
    {
        QFETCH(QString, text);
        QFETCH(bool, go);
        QCOMPARE(AddressRule::enterAction(text) == AddressRule::EnterAction::Go, go);
    }

    void addEngine_answers_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<bool>("editor");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("questions");
        QTest::addRow("Edit opens the editor") << QStringList{QStringLiteral("Edit")} << true << QString() << 1;
        QTest::addRow("blank before edit is a name") << QStringList{QStringLiteral(" edit"), QStringLiteral("s")}
                                                     << false << QStringLiteral(" edit") << 2;
        QTest::addRow("cancelled first box still asks") << QStringList{QString(), QStringLiteral("s")} << false
                                                        << QString() << 2;
    }

    void addEngine_answers()
    {
        QFETCH(QStringList, answers);
        QFETCH(bool, editor);
        QFETCH(QString, name);
        QFETCH(int, questions);
        QTemporaryDir dir;
        QStringList opened;
        setTextEditorLauncherForTests([&](const QString &path, QString *) {
            opened.append(path);
            return true;
        });
        ScriptedDialogs dialogs;
        dialogs.answers = answers;
        const AddEngineOutcome outcome = addEngine(dialogs, dir.path());
        QCOMPARE(dialogs.asked.size(), questions);
        QCOMPARE(dialogs.asked.first().prompt, QStringLiteral("请输入搜索引擎名称:\r\n输入 edit 进入记事本编辑."));
        QCOMPARE(outcome.kind == AddEngineOutcome::Kind::EditorOpened, editor);
        if (editor) {
            QCOMPARE(opened, QStringList{SearchEngineFile::path(dir.path())});
            QVERIFY(!QFile::exists(SearchEngineFile::path(dir.path())));
            return;
        }
        QCOMPARE(dialogs.asked.at(1).prompt, QStringLiteral("请输入搜索引擎的搜索串:"));
        QCOMPARE(outcome.engine.name, name);
        QCOMPARE(readBytes(SearchEngineFile::path(dir.path())), gbk(name + QStringLiteral(" TheHead: s\r\n")));
    }

    void addEngine_failuresAreReported()
    {
        QTemporaryDir dir;
        setTextEditorLauncherForTests([](const QString &, QString *error) {
            *error = QStringLiteral("没有编辑器");
            return false;
        });
        ScriptedDialogs dialogs;
        dialogs.answers = QStringList{QStringLiteral("EDIT")};
        QVERIFY_THROWS_EXCEPTION(Failure, addEngine(dialogs, dir.path()));

        // A file that cannot be written keeps its old bytes.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("搜索.txt")));
        dialogs.answers = QStringList{QStringLiteral("n"), QStringLiteral("s")};
        QVERIFY_THROWS_EXCEPTION(Failure, addEngine(dialogs, dir.path()));
        QVERIFY(QFileInfo(SearchEngineFile::path(dir.path())).isDir());
    }
};

QTEST_GUILESS_MAIN(tst_Navigation)
#include "tst_navigation.moc"
