#include "engineadder.h"
#include "failure.h"
#include "safefile.h"
#include "scripteddialogs.h"
#include "textcodec.h"
#include "texteditor.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The "+" button: its two questions, the editor for "edit", and the line it appends.
class TestEngineAdder final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file() const { return SearchEngineFile::path(m_dir.path()); }

private Q_SLOTS:
    void answers_data();
    void answers();
    void editorFailureIsReported();
    void searchStringMustBeAWebAddress_data();
    void searchStringMustBeAWebAddress();
};

void TestEngineAdder::answers_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // empty: the editor opens, the file stays as it was

    QTest::addRow("Edit opens the editor")
        << QStringList { u"Edit"_s } << QByteArray("a TheHead: 1") << QByteArray();
    QTest::addRow("eDIT, no file yet") << QStringList { u"eDIT"_s } << QByteArray() << QByteArray();
    QTest::addRow("space before edit") << QStringList { u" edit"_s, u"http://s/?q="_s } << QByteArray()
                                       << QByteArray(" edit TheHead: http://s/?q=\r\n");
    QTest::addRow("space after edit") << QStringList { u"edit "_s, u"HTTPS://s/?q="_s } << QByteArray()
                                      << QByteArray("edit  TheHead: HTTPS://s/?q=\r\n");
    QTest::addRow("cancelled name box")
        << QStringList { QString(), u"http://s/"_s } << QByteArray() << QByteArray(" TheHead: http://s/\r\n");
    QTest::addRow("line goes at the end")
        << QStringList { u"中"_s, u"http://z/?q="_s } << QByteArray("a TheHead: 1")
        << QByteArray("a TheHead: 1\r\n") + TextCodec::encode(u"中 TheHead: http://z/?q=\r\n"_s);
}

void TestEngineAdder::answers()
{
    QFETCH(QStringList, answers);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    QFile::remove(file());
    if (!before.isEmpty())
        QVERIFY(SafeFile::write(file(), before));
    QStringList opened;
    const TextEditorLauncher editorSeen = [&opened](const QString &path, QString *) {
        opened.append(path);
        return true;
    };
    ScriptedDialogs dialogs;
    dialogs.answers = answers;
    const AddEngineOutcome outcome = addEngine(dialogs, m_dir.path(), editorSeen);

    const bool editor = after.isEmpty();
    QCOMPARE(outcome.kind == AddEngineOutcome::Kind::EditorOpened, editor);
    QCOMPARE(opened, editor ? QStringList { file() } : QStringList {});
    QCOMPARE(dialogs.asked.size(), editor ? 1 : 2);
    QCOMPARE(dialogs.asked.at(0).prompt, u"请输入搜索引擎名称:\r\n输入 edit 进入记事本编辑."_s);
    QVERIFY(dialogs.asked.at(0).defaultAnswer.isEmpty());
    QByteArray bytes;
    QCOMPARE(SafeFile::read(file(), &bytes), editor ? !before.isEmpty() : true);
    QCOMPARE(bytes, editor ? before : after);
    if (!editor) {
        QCOMPARE(dialogs.asked.at(1).prompt, u"请输入搜索引擎的搜索串:"_s);
        QVERIFY(dialogs.asked.at(1).defaultAnswer.isEmpty());
        QCOMPARE(outcome.engine.name, answers.value(0));
        QCOMPARE(outcome.engine.searchString, answers.value(1));
    }
}

void TestEngineAdder::editorFailureIsReported()
{
    const TextEditorLauncher noEditor = [](const QString &, QString *error) {
        *error = u"没有编辑器"_s;
        return false;
    };
    ScriptedDialogs dialogs;
    dialogs.answers = QStringList { u"EDIT"_s };
    try {
        addEngine(dialogs, m_dir.path(), noEditor);
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QCOMPARE(failure.description(), u"没有编辑器"_s);
    }
}

void TestEngineAdder::searchStringMustBeAWebAddress_data()
{
    QTest::addColumn<QString>("searchString");
    QTest::addRow("javascript") << u"javascript:alert(document.cookie)//"_s;
    QTest::addRow("javascript, other case") << u"JavaScript:void(0)//"_s;
    QTest::addRow("space before javascript") << u" javascript:x//"_s;
    QTest::addRow("space before http") << u" http://s/?q="_s;
    QTest::addRow("data") << u"data:text/html,"_s;
    QTest::addRow("file") << u"file:///etc/passwd?"_s;
    QTest::addRow("ftp") << u"ftp://s/"_s;
    QTest::addRow("no host") << u"http:///s?q="_s;
    QTest::addRow("cancelled box") << QString();
}

void TestEngineAdder::searchStringMustBeAWebAddress()
{
    QFETCH(QString, searchString);
    QVERIFY(SafeFile::write(file(), "a TheHead: http://a/?q=\r\n"));
    ScriptedDialogs dialogs;
    dialogs.answers = QStringList { u"坏"_s, searchString };
    try {
        // The editor is never opened for a name other than "edit".
        addEngine(dialogs, m_dir.path(), [](const QString &, QString *) { return false; });
        QFAIL("added");
    } catch (const Failure &failure) {
        QVERIFY2(failure.description().contains(u"http://"_s), qPrintable(failure.description()));
    }
    QByteArray bytes;
    QVERIFY(SafeFile::read(file(), &bytes));
    QCOMPARE(bytes, QByteArray("a TheHead: http://a/?q=\r\n"));
}

QTEST_GUILESS_MAIN(TestEngineAdder)
#include "tst_engineadder.moc"
