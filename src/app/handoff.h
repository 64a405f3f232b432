#pragma once

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

enum class HandoffResult { Accepted, Refused, NoAnswer };

// One running instance per user and program folder. The instance that holds the lock listens
// on a local socket in a private folder; a second start finds the lock taken and hands its
// command line over through that socket, then ends.
//
// The message: a 4-byte big-endian length, then that many bytes of UTF-8 (32 KiB at most).
// The answer: one byte, 'A' accepted or 'R' refused.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxMessageBytes = 32 * 1024;
    static constexpr int silentClientMs = 3000;

    explicit SingleInstance(const QString &programFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock (a dead instance's lock is taken over). False when another instance runs.
    // Needs no application object. Throws Failure when the lock cannot be made at all.
    bool tryLock();
    // Starts answering second starts; call after tryLock() succeeded and the application
    // object exists. Throws Failure.
    void listen();
    // Runs for each received string, one at a time in arrival order; true means accepted.
    // Strings that arrive before a handler is set wait for it.
    void setExecuteHandler(std::function<bool(const QString &)> handler);

    QString serverName() const { return m_serverName; }

private:
    void accept();
    void readFrom(QLocalSocket *socket);
    void runQueue();

    struct Pending
    {
        QPointer<QLocalSocket> socket;
        QString text;
    };

    QString m_serverName;
    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    std::function<bool(const QString &)> m_handler;
    QQueue<Pending> m_queue;
    bool m_running = false;
};

namespace Handoff {
// The per-user folder (mode 0700) that holds the lock and the socket. Throws Failure when it
// cannot be made private.
QString privateFolder();
QString serverName(const QString &programFolder);
QString lockPath(const QString &programFolder);
// Frames one string for the socket; empty when it is over the bound.
QByteArray frame(const QString &text);
} // namespace Handoff

// The second start's side: blocking, bounded by timeoutMs, and usable before any application
// object exists, so a second start never touches the display.
HandoffResult sendToRunningInstance(const QString &programFolder, const QString &text, int timeoutMs,
                                    QString *error);
