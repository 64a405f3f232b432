#pragma once

#include "historytypes.h"

#include <QString>
#include <QUrl>
#include <functional>

class QSqlQuery;

// The history database: one SQLite file in the data folder, in WAL mode, written by one
// thread only. Every call belongs to the thread that opened it. A failing statement is
// reported through lastError() and otherwise ignored: history never stops browsing.
class HistoryStore final
{
public:
    static constexpr int keepDays = 90;

    explicit HistoryStore(const QString &path);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Opens the file; a corrupt or locked one is moved aside and a fresh one made. Returns
    // the message to show the user once, or an empty string.
    QString open();
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }

    // Whether a finished load of this address belongs in history at all.
    static bool recordable(const QUrl &address);

    void record(const QString &address, const QString &title, qint64 time);
    // The page's title arrived or changed after the load was recorded.
    void retitle(const QString &address, const QString &title);

    // Newest first; the search matches address, title and the title's pinyin.
    QList<Visit> visits(const QString &search, int limit) const;
    QList<PageEntry> pages() const;

    void removeVisit(qint64 id);
    void removeSite(const QString &host);
    void clear();
    // Forgets visits before `time`.
    void prune(qint64 time);

    QString lastError() const { return m_lastError; }

private:
    bool prepare();
    void moveAside();
    void close();
    void refreshPage(const QString &address);
    // Runs `work` in one transaction when the store is open: committed when it answers true,
    // rolled back (and the error kept) when false. False also when the store is not open.
    bool change(const std::function<bool(QSqlQuery &)> &work);

    QString m_path;
    QString m_connection;
    bool m_open = false;
    mutable QString m_lastError;
};
