#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// NotRunning: nothing listened, and the sender did not wait for an instance that may be starting.
enum class HandoffResult { Accepted, Refused, NoAnswer, NotRunning };
// Whether a sender that finds no listener waits for an instance that may still be starting.
enum class IfNoneListens { WaitForOne, GiveUp };

// What the running instance makes of a received string: refused, or accepted with the work that
// opens it, which runs once the sender has its answer.
struct Handover
{
    bool accepted = false;
    std::function<void()> open;
};

// One running instance per user and data folder. The instance that holds the lock listens on a
// local socket in a private folder; a second start finds the lock taken, hands its command line over
// through that socket and ends.
//
// A message is a 4-byte big-endian length, then that many bytes of UTF-8 (at most 32 KiB); the answer
// is one byte, 'A' accepted or 'R' refused.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxMessageBytes = 32 * 1024;
    // A lock file younger than this is never taken over: its instance may be starting right now.
    static constexpr int freshLockMs = 3000;

    // Touches nothing yet: the folder, lock and socket are made by tryLock().
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock and starts listening: tryLock(), then listen(). False when another instance
    // holds the lock (not an error); throws Failure when the lock or the channel cannot be set up.
    bool tryBecomePrimary();
    // The lock alone; needs no application object, so a second start is decided before the display
    // is reached. A dead instance's lock is taken over, also when its PID now belongs to another
    // program. Throws Failure when the lock cannot be made.
    bool tryLock();
    // Starts answering second starts; only after tryLock() succeeded. Throws Failure.
    void listen();

    // Called for each received string, one at a time in arrival order, from the event loop; true
    // means accepted. Strings that arrive before a handler is set wait for it.
    void setExecuteHandler(std::function<bool(const QString &)> handler);
    // The same in two steps: the handler decides (throwing refuses), the sender is answered at once,
    // and only then is an accepted string opened, so a second start never waits for the opening.
    void setReceiveHandler(std::function<Handover(const QString &)> handler);

    // A client that has not sent its whole message after this long is dropped.
    void setClientTimeout(int ms) { m_clientTimeoutMs = ms; }
    // Received strings that wait for the handler.
    int waitingCount() const { return int(m_queue.size()); }

private:
    struct Pending
    {
        QPointer<QLocalSocket> client;
        QString text;
    };

    bool takeOverAbandonedLock();
    void acceptClients();
    void readFrom(QLocalSocket *client);
    void drop(QLocalSocket *client);
    void scheduleNext();
    void handleNext();

    QString m_dataFolder;
    QString m_serverName;
    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    std::function<Handover(const QString &)> m_handler;
    QHash<QLocalSocket *, QByteArray> m_unfinished;
    QQueue<Pending> m_queue;
    int m_clientTimeoutMs = 3000;
    bool m_busy = false;
    bool m_scheduled = false;
};

// The second start's side: connects (retrying while the running instance may still be starting its
// server), sends, and waits for the answer, all within timeoutMs. Blocking, and usable before any
// application object exists. On Refused and NoAnswer `error` gets a description for the user.
HandoffResult sendToRunningInstance(const QString &dataFolder, const QString &text, int timeoutMs = 5000,
    QString *error = nullptr, IfNoneListens ifNone = IfNoneListens::WaitForOne);

// A second start's whole hand-off, the same for the small program and the browser: its command line
// without quotes, a relative path of an existing file made absolute against the starting folder,
// sent within 5 seconds.
HandoffResult handOverCommandLine(const QString &dataFolder, const QString &commandLine, QString *error,
    IfNoneListens ifNone = IfNoneListens::WaitForOne);
