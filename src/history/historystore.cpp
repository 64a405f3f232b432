#include "historystore.h"

#include "pinyin.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kAddressMax = 8192;
constexpr qsizetype kTitleMax = 1024;

QString hostOf(const QString &address)
{
    return QUrl(address).host().toLower();
}

// The search as a LIKE pattern that finds it anywhere, its own % and _ taken literally.
QString likePattern(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', u"\\\\"_s).replace(u'%', u"\\%"_s).replace(u'_', u"\\_"_s);
    return u'%' + escaped + u'%';
}

} // namespace

HistoryStore::HistoryStore(const QString &path)
    : m_path(path)
{
    static QAtomicInt counter;
    m_connection = u"kovalis-history-%1"_s.arg(counter.fetchAndAddRelaxed(1));
}

HistoryStore::~HistoryStore()
{
    close();
}

void HistoryStore::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_open = false;
}

bool HistoryStore::recordable(const QUrl &address)
{
    if (!address.isValid() || address.isEmpty())
        return false;
    const QString scheme = address.scheme().toLower();
    if (scheme != u"http"_s && scheme != u"https"_s && scheme != u"file"_s && scheme != u"ftp"_s)
        return false;
    return address.toString().size() <= kAddressMax;
}

bool HistoryStore::prepare()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    db.setDatabaseName(m_path);
    // Waits briefly for another writer instead of failing at once.
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=500"_s);
    if (!db.open()) {
        m_lastError = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    if (!q.exec(u"PRAGMA quick_check"_s) || !q.next() || q.value(0).toString() != u"ok"_s) {
        m_lastError = q.lastError().text();
        return false;
    }
    if (!q.exec(u"PRAGMA journal_mode=WAL"_s) || !q.next()
        || q.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) != 0) {
        m_lastError = q.lastError().text();
        return false;
    }
    q.exec(u"PRAGMA synchronous=NORMAL"_s);
    const QString schema[] = {
        u"CREATE TABLE IF NOT EXISTS visits (id INTEGER PRIMARY KEY, url TEXT NOT NULL, host TEXT, "
        "title TEXT, time INTEGER NOT NULL)"_s,
        u"CREATE INDEX IF NOT EXISTS visits_time ON visits(time)"_s,
        u"CREATE INDEX IF NOT EXISTS visits_url ON visits(url)"_s,
        u"CREATE INDEX IF NOT EXISTS visits_host ON visits(host)"_s,
        u"CREATE TABLE IF NOT EXISTS pages (url TEXT PRIMARY KEY, host TEXT, title TEXT, pinyin TEXT, "
        "initials TEXT, visits INTEGER NOT NULL, last INTEGER NOT NULL)"_s,
        u"CREATE INDEX IF NOT EXISTS pages_host ON pages(host)"_s,
    };
    for (const QString &statement : schema) {
        if (!q.exec(statement)) {
            m_lastError = q.lastError().text();
            return false;
        }
    }
    return true;
}

void HistoryStore::moveAside()
{
    const QString aside
        = m_path + u".broken-"_s + QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss"_s);
    QFile::remove(aside);
    if (!QFile::rename(m_path, aside))
        QFile::remove(m_path);
    // The journal files belong to the old file; a fresh database must not replay them.
    for (const QString &suffix : { u"-wal"_s, u"-shm"_s }) {
        if (!QFile::rename(m_path + suffix, aside + suffix))
            QFile::remove(m_path + suffix);
    }
}

QString HistoryStore::open()
{
    if (prepare()) {
        m_open = true;
        return QString();
    }
    const QString reason = m_lastError;
    close();
    if (!QFileInfo::exists(m_path)) {
        // Nothing to move aside: the folder itself cannot take the file.
        return u"无法打开历史记录 %1：%2。本次浏览不会记录历史。"_s.arg(m_path, reason);
    }
    moveAside();
    if (prepare()) {
        m_open = true;
        return u"历史记录文件已损坏或被占用，已移到一旁并新建了一个：%1"_s.arg(m_path);
    }
    const QString again = m_lastError;
    close();
    return u"无法打开历史记录 %1：%2。本次浏览不会记录历史。"_s.arg(m_path, again);
}

void HistoryStore::record(const QString &address, const QString &title, qint64 time)
{
    if (!m_open || !recordable(QUrl(address)))
        return;
    const QString shortTitle = title.left(kTitleMax);
    const Pinyin::Keys keys = Pinyin::of(shortTitle);
    change([&](QSqlQuery &q) {
        q.prepare(u"INSERT INTO visits (url, host, title, time) VALUES (?, ?, ?, ?)"_s);
        q.addBindValue(address);
        q.addBindValue(hostOf(address));
        q.addBindValue(shortTitle);
        q.addBindValue(time);
        bool ok = q.exec();
        q.prepare(u"INSERT INTO pages (url, host, title, pinyin, initials, visits, last) VALUES (?, ?, ?, ?, "
                  u"?, 1, ?) "
                  "ON CONFLICT(url) DO UPDATE SET title = excluded.title, pinyin = excluded.pinyin, "
                  "initials = excluded.initials, visits = visits + 1, last = max(last, excluded.last)"_s);
        q.addBindValue(address);
        q.addBindValue(hostOf(address));
        q.addBindValue(shortTitle);
        q.addBindValue(keys.full);
        q.addBindValue(keys.initials);
        q.addBindValue(time);
        return ok && q.exec();
    });
}

void HistoryStore::retitle(const QString &address, const QString &title)
{
    if (title.isEmpty())
        return;
    const QString shortTitle = title.left(kTitleMax);
    const Pinyin::Keys keys = Pinyin::of(shortTitle);
    change([&](QSqlQuery &q) {
        q.prepare(u"UPDATE pages SET title = ?, pinyin = ?, initials = ? WHERE url = ?"_s);
        q.addBindValue(shortTitle);
        q.addBindValue(keys.full);
        q.addBindValue(keys.initials);
        q.addBindValue(address);
        q.exec();
        // Only the latest visit takes the new title; older visits keep what they showed then.
        q.prepare(u"UPDATE visits SET title = ? WHERE id = (SELECT max(id) FROM visits WHERE url = ?)"_s);
        q.addBindValue(shortTitle);
        q.addBindValue(address);
        q.exec();
        return true;
    });
}

QList<Visit> HistoryStore::visits(const QString &search, int limit) const
{
    QList<Visit> out;
    if (!m_open)
        return out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    const QString text = search.trimmed();
    if (text.isEmpty()) {
        q.prepare(u"SELECT id, url, title, time FROM visits ORDER BY time DESC, id DESC LIMIT ?"_s);
    } else {
        const QString compact
            = Pinyin::looksLikePinyin(text) ? QString(text).remove(u' ').toLower() : QString();
        // The pinyin lives with the pages: their matching addresses are found once, not per visit.
        q.prepare(
            u"SELECT id, url, title, time FROM visits WHERE url LIKE ? ESCAPE '\\' OR title LIKE ? ESCAPE "
            u"'\\' "
            "OR url IN (SELECT url FROM pages WHERE ? AND (pinyin LIKE ? ESCAPE '\\' OR initials LIKE ? "
            "ESCAPE '\\')) ORDER BY time DESC, id DESC LIMIT ?"_s);
        q.addBindValue(likePattern(text));
        q.addBindValue(likePattern(text));
        q.addBindValue(compact.isEmpty() ? 0 : 1);
        q.addBindValue(likePattern(compact));
        q.addBindValue(likePattern(compact));
    }
    q.addBindValue(limit);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        return out;
    }
    while (q.next())
        out.append({ q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
            q.value(3).toLongLong() });
    return out;
}

QList<PageEntry> HistoryStore::pages() const
{
    QList<PageEntry> out;
    if (!m_open)
        return out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.exec(u"SELECT url, title, pinyin, initials, visits, last FROM pages"_s)) {
        m_lastError = q.lastError().text();
        return out;
    }
    while (q.next()) {
        out.append({ q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
            q.value(3).toString(), q.value(4).toInt(), q.value(5).toLongLong() });
    }
    return out;
}

void HistoryStore::refreshPage(const QString &address)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(u"UPDATE pages SET visits = (SELECT count(*) FROM visits WHERE url = ?), "
              "last = coalesce((SELECT max(time) FROM visits WHERE url = ?), 0) WHERE url = ?"_s);
    q.addBindValue(address);
    q.addBindValue(address);
    q.addBindValue(address);
    q.exec();
    q.prepare(u"DELETE FROM pages WHERE url = ? AND visits = 0"_s);
    q.addBindValue(address);
    q.exec();
}

void HistoryStore::removeVisit(qint64 id)
{
    change([&](QSqlQuery &q) {
        q.prepare(u"SELECT url FROM visits WHERE id = ?"_s);
        q.addBindValue(id);
        if (q.exec() && q.next()) {
            const QString address = q.value(0).toString();
            q.prepare(u"DELETE FROM visits WHERE id = ?"_s);
            q.addBindValue(id);
            q.exec();
            refreshPage(address);
        }
        return true;
    });
}

void HistoryStore::removeSite(const QString &host)
{
    change([&](QSqlQuery &q) {
        for (const QString &statement :
            { u"DELETE FROM visits WHERE host = ?"_s, u"DELETE FROM pages WHERE host = ?"_s }) {
            q.prepare(statement);
            q.addBindValue(host.toLower());
            q.exec();
        }
        return true;
    });
}

void HistoryStore::clear()
{
    const bool cleared = change([](QSqlQuery &q) {
        q.exec(u"DELETE FROM visits"_s);
        q.exec(u"DELETE FROM pages"_s);
        return true;
    });
    // What was deleted should not stay readable in free pages of the file.
    if (cleared)
        QSqlQuery(QSqlDatabase::database(m_connection, false)).exec(u"VACUUM"_s);
}

void HistoryStore::prune(qint64 time)
{
    change([&](QSqlQuery &q) {
        q.prepare(u"DELETE FROM visits WHERE time < ?"_s);
        q.addBindValue(time);
        // Nothing old: the pages need no recount, which at 100,000 pages would hold up the start.
        if (q.exec() && q.numRowsAffected() > 0) {
            q.exec(u"DELETE FROM pages WHERE url NOT IN (SELECT url FROM visits)"_s);
            q.exec(u"UPDATE pages SET visits = (SELECT count(*) FROM visits v WHERE v.url = pages.url)"_s);
        }
        return true;
    });
}

bool HistoryStore::change(const std::function<bool(QSqlQuery &)> &work)
{
    if (!m_open)
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.transaction();
    QSqlQuery q(db);
    if (!work(q)) {
        m_lastError = q.lastError().text();
        db.rollback();
        return false;
    }
    db.commit();
    return true;
}
