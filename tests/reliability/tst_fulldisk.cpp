#include "failure.h"
#include "favoritesstore.h"
#include "searchenginefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Each write runs in a child process whose files may not grow past a few hundred bytes, as on a
// full disk (RLIMIT_FSIZE holds for root too). With SIGXFSZ ignored the write fails with EFBIG.
class tst_FullDisk final : public QObject
{
    Q_OBJECT

private:
    enum class Outcome { Succeeded, Failed, Crashed };

    // The child's exit code tells the outcome; a Failure's text comes back through a pipe.
    static Outcome runLimited(const std::function<void()> &write, rlim_t limit, QString *message)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return Outcome::Crashed;
        const pid_t pid = fork();
        if (pid == 0) {
            ::close(fds[0]);
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit fsize { limit, limit };
            setrlimit(RLIMIT_FSIZE, &fsize);
            int code = 0;
            try {
                write();
            } catch (const Failure &failure) {
                const QByteArray text = failure.description().toUtf8();
                [[maybe_unused]] const auto written = ::write(fds[1], text.constData(), size_t(text.size()));
                code = 1;
            }
            ::close(fds[1]);
            _exit(code);
        }
        ::close(fds[1]);
        QByteArray text;
        char buffer[512];
        ssize_t got;
        while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
            text.append(buffer, qsizetype(got));
        ::close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        *message = QString::fromUtf8(text);
        if (!WIFEXITED(status))
            return Outcome::Crashed;
        return WEXITSTATUS(status) == 0 ? Outcome::Succeeded : Outcome::Failed;
    }

    // Every entry of a folder tree with its bytes.
    static QMap<QString, QByteArray> snapshot(const QString &root)
    {
        QMap<QString, QByteArray> files;
        const QDir dir(root);
        const QStringList names
            = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : names) {
            const QString path = dir.filePath(name);
            if (QFileInfo(path).isDir()) {
                files.insert(name + u'/', QByteArray());
                const auto inner = snapshot(path);
                for (auto it = inner.cbegin(); it != inner.cend(); ++it)
                    files.insert(name + u'/' + it.key(), it.value());
                continue;
            }
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                files.insert(name, file.readAll());
        }
        return files;
    }

    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

private Q_SLOTS:
    void writeOnAFullDisk_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("limit");
        // A long address or line that will not fit under the limit; the old files are smaller.
        for (const int limit : { 0, 1, 100, 1000 }) {
            QTest::addRow("favorite, limit %d", limit) << u"favorite"_s << limit;
            QTest::addRow("homepage, limit %d", limit) << u"homepage"_s << limit;
            QTest::addRow("engine file, limit %d", limit) << u"engine"_s << limit;
        }
    }

    void writeOnAFullDisk()
    {
        QFETCH(QString, what);
        QFETCH(int, limit);
        QTemporaryDir program;
        const FavoritesStore store(program.path());
        store.ensureFolder();
        const QString folder = store.folderPath();
        const QString longAddress = u"http://example.com/"_s + QString(4000, u'x');
        put(folder + u"/old.link"_s, "[tarvo.link]\r\nhttp://old/\r\n");
        put(folder + u'/' + FavoritesStore::homeFileName(), "[tarvo.link]\r\nhttp://home/\r\n");
        put(SearchEngineFile::path(program.path()), "Old TheHead: http://old/?q=\r\n");
        // The homepage's new source is written before the limit.
        store.addFavorite(u"long"_s, longAddress);

        const auto before = snapshot(program.path());
        std::function<void()> write;
        if (what == u"favorite"_s)
            write = [&] { store.addFavorite(u"新的"_s, longAddress); };
        else if (what == u"homepage"_s)
            write = [&] { store.setAsHomepage(folder + u"/long.link"_s, folder); };
        else
            write = [&] { SearchEngineFile::append(program.path(), { u"New"_s, longAddress }); };

        QString message;
        const Outcome outcome = runLimited(write, rlim_t(limit), &message);
        QCOMPARE(int(outcome), int(Outcome::Failed));
        QVERIFY2(!message.isEmpty(), "a Failure without a description");
        // Old bytes stay and no temporary file is left beside them.
        QCOMPARE(snapshot(program.path()), before);
    }

    // The same writes with room to spare succeed: the limit, not the set-up, made the rows fail.
    void writeWithRoom()
    {
        QTemporaryDir program;
        const FavoritesStore store(program.path());
        const QString path = store.addFavorite(u"a"_s, u"http://a/"_s);
        QString message;
        const Outcome outcome = runLimited(
            [&] {
                store.addFavorite(u"b"_s, u"http://b/"_s);
                store.setAsHomepage(path, store.folderPath());
                SearchEngineFile::append(program.path(), { u"E"_s, u"http://e/?q="_s });
            },
            1 << 20, &message);
        QCOMPARE(int(outcome), int(Outcome::Succeeded));
        QCOMPARE(SearchEngineFile::load(program.path()).size(), 1);
        QVERIFY(QFileInfo::exists(store.folderPath() + u'/' + FavoritesStore::homeFileName()));
    }
};

QTEST_GUILESS_MAIN(tst_FullDisk)
#include "tst_fulldisk.moc"
