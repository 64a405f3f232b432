#include "bookmarkcheck.h"
#include "bookmarks.h"
#include "failure.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

// The first byte chooses: the rest is a whole file given to the importer as the user's file
// (any of the three kinds, told apart by content), or rows of a Firefox bookmarks table built
// into a real places.sqlite, so the tree walk sees every shape of folders.
namespace {

QString scratch(const char *name)
{
    static int argc = 1;
    static char program[] = "fuzz_firefoxplaces";
    static char *argv[] = { program, nullptr };
    // The SQLite driver is a plugin; plugins need the application object.
    static QCoreApplication app(argc, argv);
    static QTemporaryDir folder;
    return folder.filePath(QLatin1String(name));
}

void wholeFile(const QByteArray &bytes)
{
    const QString path = scratch("input");
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
    file.close();
    try {
        checkBookmarks(Bookmarks::readFile(path));
    } catch (const Failure &failure) {
        FUZZ_CHECK(!failure.description().isEmpty());
    }
}

// Each row: type, id, parent (one byte each), then a title and an address, each a length byte
// and that many bytes.
void rows(const QByteArray &bytes)
{
    const QString path = scratch("places.sqlite");
    QFile::remove(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
        db.setDatabaseName(path);
        FUZZ_CHECK(db.open());
        QSqlQuery q(db);
        FUZZ_CHECK(q.exec(QStringLiteral("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, "
                                         "title LONGVARCHAR)")));
        FUZZ_CHECK(q.exec(QStringLiteral("CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, "
                                         "fk INTEGER DEFAULT NULL, parent INTEGER, position INTEGER, title "
                                         "LONGVARCHAR, guid TEXT)")));
        FUZZ_CHECK(
            q.exec(QStringLiteral("INSERT INTO moz_bookmarks VALUES (1, 2, NULL, 0, 0, '', 'root________'), "
                                  "(2, 2, NULL, 1, 0, 'menu', 'menu________'), "
                                  "(4, 2, NULL, 1, 1, 'tags', 'tags________')")));
        db.transaction();
        qsizetype i = 0;
        int position = 0;
        const auto text = [&bytes, &i] {
            if (i >= bytes.size())
                return QString();
            const int length = quint8(bytes.at(i++));
            const QString out = QString::fromUtf8(bytes.mid(i, length));
            i += length;
            return out;
        };
        while (i + 3 <= bytes.size()) {
            const int type = quint8(bytes.at(i)) % 4;
            const int id = 10 + quint8(bytes.at(i + 1));
            const int parent
                = quint8(bytes.at(i + 2)) < 8 ? quint8(bytes.at(i + 2)) : 10 + quint8(bytes.at(i + 2));
            i += 3;
            const QString title = text();
            const QString url = text();
            q.prepare(QStringLiteral("INSERT OR REPLACE INTO moz_places (id, url, title) VALUES (?, ?, ?)"));
            q.addBindValue(id);
            q.addBindValue(url);
            q.addBindValue(title);
            q.exec();
            q.prepare(
                QStringLiteral("INSERT OR REPLACE INTO moz_bookmarks (id, type, fk, parent, position, title, "
                               "guid) VALUES (?, ?, ?, ?, ?, ?, ?)"));
            q.addBindValue(id);
            q.addBindValue(type);
            q.addBindValue(id);
            q.addBindValue(parent);
            q.addBindValue(position++);
            q.addBindValue(title);
            q.addBindValue(QString::number(id));
            q.exec();
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make"));
    try {
        checkBookmarks(Bookmarks::readFirefox(path));
    } catch (const Failure &failure) {
        FUZZ_CHECK(!failure.description().isEmpty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1)
        rows(bytes);
    else
        wholeFile(bytes);
    return 0;
}
