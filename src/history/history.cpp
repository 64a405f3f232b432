#include "history.h"

#include "historystore.h"
#include "pinyin.h"

#include <QDateTime>
#include <QPointer>
#include <QUrl>
#include <memory>

using namespace Qt::StringLiterals;

// Lives on the history thread and owns the database there.
class HistoryWorker final : public QObject
{
public:
    std::unique_ptr<HistoryStore> store;
};

namespace {

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

History::History(const QString &dataFolder, QObject *parent, Opening opening)
    : QObject(parent)
    , m_path(dataFolder + u'/' + fileName())
{
    m_thread.setObjectName(u"history"_s);
    m_worker = new HistoryWorker;
    m_worker->moveToThread(&m_thread);
    if (opening == Opening::Now)
        start();

    const QString path = m_path;
    HistoryWorker *worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [this, worker, path] {
        worker->store = std::make_unique<HistoryStore>(path);
        const QString message = worker->store->open();
        worker->store->prune(now() - qint64(HistoryStore::keepDays) * 24 * 3600 * 1000);
        const QList<PageEntry> pages = worker->store->pages();
        // `this` outlives the thread: the destructor waits for it.
        QMetaObject::invokeMethod(this, [this, message, pages] {
            takeLoaded(pages);
            Q_EMIT loaded(message);
        });
    });
}

void History::start()
{
    // The thread's work waits in its queue until then, in the order it was asked for.
    if (!m_thread.isRunning())
        m_thread.start(QThread::LowPriority);
}

History::~History()
{
    start(); // the queued writes still go to disk
    HistoryWorker *worker = m_worker;
    // After every write still queued; quitting from outside could drop them.
    QMetaObject::invokeMethod(worker, [worker] {
        worker->store.reset();
        QThread::currentThread()->quit();
    });
    m_thread.wait();
    delete m_worker;
}

QString History::fileName()
{
    return u"history.sqlite"_s;
}

void History::reindex()
{
    m_byAddress.clear();
    m_byAddress.reserve(m_pages.size());
    for (qsizetype i = 0; i < m_pages.size(); ++i)
        m_byAddress.insert(m_pages.at(i).address, i);
    m_index.rebuild(m_pages);
}

void History::takeLoaded(const QList<PageEntry> &pages)
{
    m_pages = pages;
    reindex();
    m_loaded = true;
    // The copy just read was taken before any of these reached the database.
    const QList<std::function<void()>> replay = std::exchange(m_replay, {});
    for (const auto &change : replay)
        change();
}

void History::apply(const std::function<void()> &change)
{
    change();
    if (!m_loaded)
        m_replay.append(change);
}

void History::remember(const QString &address, const QString &title, qint64 time)
{
    const auto it = m_byAddress.constFind(address);
    const bool added = it == m_byAddress.cend();
    const qsizetype index = added ? m_pages.size() : it.value();
    if (added) {
        m_byAddress.insert(address, index);
        m_pages.append(PageEntry { address, QString(), QString(), QString(), 0, 0 });
    }
    PageEntry &page = m_pages[index];
    ++page.visits;
    page.lastVisit = qMax(page.lastVisit, time);
    if (added || !title.isEmpty()) {
        setTitle(page, title);
        indexPage(index);
    }
}

void History::indexPage(qsizetype index)
{
    m_index.set(index, m_pages.at(index));
    if (m_index.wasteful())
        m_index.rebuild(m_pages);
}

void History::setTitle(PageEntry &page, const QString &title)
{
    const Pinyin::Keys keys = Pinyin::of(title);
    page.title = title;
    page.pinyinFull = keys.full;
    page.pinyinInitials = keys.initials;
}

void History::write(std::function<void(HistoryStore &)> step)
{
    HistoryWorker *worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [this, worker, step = std::move(step)] {
        if (worker->store)
            step(*worker->store);
        QMetaObject::invokeMethod(this, [this] { Q_EMIT changed(); });
    });
}

void History::record(const QString &address, const QString &title)
{
    if (!HistoryStore::recordable(QUrl(address)))
        return;
    const qint64 time = now();
    apply([this, address, title, time] { remember(address, title, time); });
    write([address, title, time](HistoryStore &store) { store.record(address, title, time); });
}

void History::retitle(const QString &address, const QString &title)
{
    const auto it = m_byAddress.constFind(address);
    if (title.isEmpty() || it == m_byAddress.cend() || m_pages.at(it.value()).title == title)
        return;
    apply([this, address, title] {
        if (const auto found = m_byAddress.constFind(address); found != m_byAddress.cend()) {
            setTitle(m_pages[found.value()], title);
            indexPage(found.value());
        }
    });
    write([address, title](HistoryStore &store) { store.retitle(address, title); });
}

void History::queryVisits(const QString &search, int limit, QObject *receiver, VisitsHandler done)
{
    HistoryWorker *worker = m_worker;
    QPointer<QObject> guard(receiver);
    QMetaObject::invokeMethod(m_worker, [this, worker, search, limit, guard, done] {
        const QList<Visit> found = worker->store ? worker->store->visits(search, limit) : QList<Visit>();
        QMetaObject::invokeMethod(this, [guard, done, found] {
            if (guard)
                done(found);
        });
    });
}

void History::removeVisit(const Visit &visit)
{
    const QString address = visit.address;
    apply([this, address] {
        const auto it = m_byAddress.constFind(address);
        if (it == m_byAddress.cend())
            return;
        if (--m_pages[it.value()].visits <= 0) {
            m_pages.removeAt(it.value());
            reindex();
        }
    });
    const qint64 id = visit.id;
    write([id](HistoryStore &store) { store.removeVisit(id); });
}

void History::removeSite(const QString &host)
{
    const QString site = host.toLower();
    apply([this, site] {
        m_pages.removeIf(
            [&site](const PageEntry &page) { return QUrl(page.address).host().toLower() == site; });
        reindex();
    });
    write([site](HistoryStore &store) { store.removeSite(site); });
}

void History::clear()
{
    apply([this] {
        m_pages.clear();
        reindex();
    });
    write([](HistoryStore &store) { store.clear(); });
}
