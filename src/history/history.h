#pragma once

#include "completion.h"
#include "historytypes.h"

#include <QHash>
#include <QObject>
#include <QThread>
#include <functional>

class HistoryStore;
class HistoryWorker;

// History as the browser uses it: every write goes to the database on a thread of its own,
// so no load and no keystroke waits on the disk; completion reads a copy in memory.
class History final : public QObject
{
    Q_OBJECT

public:
    // Deferred: the store is opened, and the work asked for meanwhile done, once start() is called,
    // so a window that starts the engine first leaves it the second processor core.
    enum class Opening { Now, Deferred };

    explicit History(const QString &dataFolder, QObject *parent = nullptr, Opening opening = Opening::Now);
    ~History() override;

    void start();

    static QString fileName();
    QString path() const { return m_path; }

    // A finished top-level load; anything that does not belong in history is passed over.
    void record(const QString &address, const QString &title);
    void retitle(const QString &address, const QString &title);

    using VisitsHandler = std::function<void(const QList<Visit> &)>;
    // Answers later, on this thread, unless `receiver` is gone by then.
    void queryVisits(const QString &search, int limit, QObject *receiver, VisitsHandler done);

    void removeVisit(const Visit &visit);
    void removeSite(const QString &host);
    void clear();

    // Every address ever visited and kept, for completion.
    const QList<PageEntry> &pages() const { return m_pages; }
    const CompletionIndex &index() const { return m_index; }
    bool isLoaded() const { return m_loaded; }

Q_SIGNALS:
    // The database is open (or could not be); a message is for the user, once.
    void loaded(const QString &message);
    // Something was recorded or removed.
    void changed();

private:
    void remember(const QString &address, const QString &title, qint64 time);
    static void setTitle(PageEntry &page, const QString &title);
    void takeLoaded(const QList<PageEntry> &pages);
    void reindex();
    void indexPage(qsizetype index);
    // Changes the copy in memory, and again once the stored entries have arrived.
    void apply(const std::function<void()> &change);
    // Runs on the history thread, in order.
    void write(std::function<void(HistoryStore &)> step);

    QString m_path;
    QThread m_thread;
    HistoryWorker *m_worker = nullptr;
    QList<PageEntry> m_pages;
    QHash<QString, qsizetype> m_byAddress;
    CompletionIndex m_index;
    QList<std::function<void()>> m_replay;
    bool m_loaded = false;
};
