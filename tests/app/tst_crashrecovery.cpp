#include "enginewindow.h"
#include "pageset.h"
#include "sessionkeeper.h"
#include "webbrowser.h"

#include <QFile>
#include <QFrame>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The real program killed outright with pages open, then started again in this process, where
// a person answers the question.
class tst_CrashRecovery final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedWithThreePages_theyComeBackInOrder()
    {
        EngineWindow w;
        for (const char *name : { "kovalis", "kovalis-browser" }) {
            const QString target = w.folder.filePath(QString::fromLatin1(name));
            QVERIFY(QFile::copy(QString::fromLatin1(name) == u"kovalis"_s
                    ? QStringLiteral(KOVALIS_BINARY)
                    : QStringLiteral(KOVALIS_BROWSER_BINARY),
                target));
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        // A portable folder: the killed program keeps its pages beside it, where this window looks.
        QFile marker(w.folder.filePath(u"portable"_s));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        for (const QByteArray path : { "/one", "/two", "/three" })
            w.server.serve(path, EngineWindow::page(path.mid(1)));

        // The killed program has an engine profile of its own, apart from this process's.
        QTemporaryDir data;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, data.filePath(u"data"_s));
        env.insert(u"XDG_CACHE_HOME"_s, data.filePath(u"cache"_s));
        const QString program = w.folder.filePath(u"kovalis"_s);
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(program, { w.server.url("/one") });
        QTRY_VERIFY_WITH_TIMEOUT(w.server.requested("/one"), 30000);
        for (const QByteArray path : { "/two", "/three" }) {
            QProcess second;
            second.setProcessEnvironment(env);
            second.start(program, { w.server.url(path) });
            QVERIFY(second.waitForFinished(20000));
            QCOMPARE(second.exitCode(), 0);
        }
        const QString file = w.form->session().path();
        const QStringList expected { w.server.url("/one"), w.server.url("/two"), w.server.url("/three") };
        const auto kept = [&] {
            QStringList addresses;
            for (const SessionFile::Page &page : SessionFile::read(file).contents.pages)
                addresses.append(page.address);
            return addresses;
        };
        QTRY_COMPARE_WITH_TIMEOUT(kept(), expected, 30000);
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::CrashExit);

        w.form->session().setAskUser(true);
        QVERIFY(w.form->Form_Load(QString()));
        // A person reads the question first: by then the start page shows about:blank, and the
        // first page reopened goes into it.
        QTRY_COMPARE(w.pages().browser(0)->LocationURL(), u"about:blank"_s);
        auto *bar = w.form->findChild<QFrame *>(u"RestoreBar"_s);
        QVERIFY(bar && bar->isVisible());
        // Above the page, not hidden behind it.
        QCOMPARE(w.form->childAt(bar->mapTo(w.form.get(), bar->rect().center())) != nullptr, true);
        bar->findChild<QPushButton *>(u"RestoreYes"_s)->click();
        const auto open = [&] {
            QStringList addresses;
            for (qint16 page : w.pages().pageList())
                addresses.append(w.pages().browser(page)->LocationURL());
            return addresses;
        };
        QTRY_COMPARE_WITH_TIMEOUT(open(), expected, 30000);
        // The one in front when it was killed (the last one handed over) is in front again.
        QCOMPARE(w.pages().browser(w.pages().curP())->LocationURL(), expected.last());
        QTRY_VERIFY_WITH_TIMEOUT(w.server.requested("/one") && w.server.requests.count("/two") == 2
                && w.server.requests.count("/three") == 2 && w.server.requests.count("/one") == 2,
            30000);
    }
};

int main(int argc, char **argv)
{
    tst_CrashRecovery test;
    return runEngineTest(test, argc, argv);
}

#include "tst_crashrecovery.moc"
