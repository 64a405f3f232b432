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
    void cleanup() { setTextEditorLauncherForTests({}); }
    void answers_data();
    void answers();
    void editorFailureIsReported();
};

void TestEngineAdder::answers_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // empty: the editor opens, the file stays as it was

    QTest::addRow("Edit opens the editor")
        << QStringList { u"Edit"_s } << QByteArray("a TheHead: 1") << QByteArray();
    QTest::addRow("eDIT, no file yet") << QStringList { u"eDIT"_s } << QByteArray() << QByteArray();
    QTest::addRow("space before edit")
        << QStringList { u" edit"_s, u"s"_s } << QByteArray() << QByteArray(" edit TheHead: s\r\n");
    QTest::addRow("space after edit")
        << QStringList { u"edit "_s, u"s"_s } << QByteArray() << QByteArray("edit  TheHead: s\r\n");
    QTest::addRow("cancelled boxes") << QStringList {} << QByteArray() << QByteArray(" TheHead: \r\n");
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
    setTextEditorLauncherForTests([&opened](const QString &path, QString *) {
        opened.append(path);
        return true;
    });
    ScriptedDialogs dialogs;
    dialogs.answers = answers;
    const AddEngineOutcome outcome = addEngine(dialogs, m_dir.path());

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
    setTextEditorLauncherForTests([](const QString &, QString *error) {
        *error = u"没有编辑器"_s;
        return false;
    });
    ScriptedDialogs dialogs;
    dialogs.answers = QStringList { u"EDIT"_s };
    try {
        addEngine(dialogs, m_dir.path());
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QCOMPARE(failure.description(), u"没有编辑器"_s);
    }
}

QTEST_GUILESS_MAIN(TestEngineAdder)
#include "tst_engineadder.moc"
