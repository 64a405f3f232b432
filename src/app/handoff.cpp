#include "handoff.h"

#include "failure.h"
#include "handofffolder.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>
#include <exception>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace {

// Whether the second start at the other end still waits for its answer. Asked of the socket itself,
// not of QLocalSocket's state, which only learns of a hang-up when the event loop next runs: the
// window may have been busy for longer than the sender was willing to wait.
bool senderStillWaits(QLocalSocket *client)
{
    if (!client || client->state() != QLocalSocket::ConnectedState)
        return false;
#ifdef Q_OS_UNIX
    const int fd = int(client->socketDescriptor());
    if (fd < 0)
        return false;
    pollfd p {};
    p.fd = fd;
    p.events = POLLIN;
    if (::poll(&p, 1, 0) < 0)
        return true; // cannot tell: answer as before
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
        return false;
    if (p.revents & POLLIN) {
        // The sender sends nothing after its message, so something to read is its end of file.
        char byte;
        const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
    }
#endif
    return true;
}

} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , m_dataFolder(dataFolder)
{
}

SingleInstance::~SingleInstance()
{
    // The socket goes before the lock: once the lock is free the next instance makes its own socket,
    // and closing ours later would remove that one.
    // Deleting the server also ends its clients while this object's members still exist.
    if (m_server)
        m_server->close();
    delete m_server;
    m_lock.reset();
}

bool SingleInstance::tryBecomePrimary()
{
    if (!tryLock())
        return false;
    listen();
    return true;
}

bool SingleInstance::tryLock()
{
    if (m_lock && m_lock->isLocked())
        return true;
    // The names are made here, not in the constructor, so every failure comes from one call.
    m_serverName = HandoffFolder::serverName(m_dataFolder);
    m_lockPath = HandoffFolder::lockPath(m_dataFolder);
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a dead owner makes the lock stale, never its age: a long-running instance keeps it.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError)
        return takeOverAbandonedLock();
    throw Failure(QStringLiteral("无法建立锁文件“%1”，不能确定Kovalis是否已经打开。").arg(m_lockPath));
}

bool SingleInstance::takeOverAbandonedLock()
{
    // The lock names a live process that is not its holder (a dead instance's PID reused by a
    // program of the same name): Qt keeps such a lock, and every start would then wait for an
    // answer nobody gives. A holder that answers is running; one that does not may still be
    // starting, but it keeps the lock file locked while it lives, so removing the file only
    // succeeds when nobody holds it.
    // A file made a moment ago belongs to an instance starting right now, which may not have
    // locked it yet: removing it then would make two primaries.
    const QDateTime made = QFileInfo(m_lockPath).lastModified();
    if (made.isValid() && qAbs(made.msecsTo(QDateTime::currentDateTime())) < freshLockMs)
        return false;
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    if (probe.waitForConnected(1000))
        return false;
    return m_lock->removeStaleLockFile() && m_lock->tryLock(0);
}

void SingleInstance::listen()
{
    if (m_server)
        return;
    if (!m_lock || !m_lock->isLocked())
        throw Failure(QStringLiteral("没有取得Kovalis的锁，不能接收其他启动交来的地址。"));
    // We hold the lock, so a socket still there was left by a dead instance. No access option: with
    // one, listen() would take over a live instance's socket.
    QLocalServer::removeServer(m_serverName);
    auto server = std::make_unique<QLocalServer>(this);
    if (!server->listen(m_serverName))
        throw Failure(QStringLiteral("无法接收其他启动交来的地址：%1").arg(server->errorString()));
    m_server = server.release();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptClients);
}

void SingleInstance::setExecuteHandler(std::function<bool(const QString &)> handler)
{
    setReceiveHandler([handler = std::move(handler)](const QString &text) {
        return Handover { handler(text), {} };
    });
}

void SingleInstance::setReceiveHandler(std::function<Handover(const QString &)> handler)
{
    m_handler = std::move(handler);
    scheduleNext();
}

void SingleInstance::acceptClients()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        m_unfinished.insert(client, QByteArray());
        connect(client, &QLocalSocket::disconnected, this, [this, client] {
            m_unfinished.remove(client);
            client->deleteLater();
        });
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readFrom(client); });
        // A client that never finishes its message is dropped; the timer dies with the socket.
        QTimer::singleShot(m_clientTimeoutMs, client, [this, client] {
            if (m_unfinished.contains(client))
                drop(client);
        });
        if (client->bytesAvailable() > 0)
            readFrom(client);
    }
}

void SingleInstance::readFrom(QLocalSocket *client)
{
    const auto found = m_unfinished.find(client);
    if (found == m_unfinished.end()) {
        // Anything after a complete message is ignored.
        client->readAll();
        return;
    }
    QByteArray &buffer = found.value();
    buffer += client->read(4 + maxMessageBytes + 1 - buffer.size());
    if (buffer.size() < 4)
        return;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length == 0 || length > quint32(maxMessageBytes) || buffer.size() > 4 + qsizetype(length)
        || client->bytesAvailable() > 0) {
        drop(client);
        return;
    }
    if (buffer.size() < 4 + qsizetype(length))
        return;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(buffer).sliced(4));
    m_unfinished.erase(found);
    if (utf8.hasError() || text.contains(QChar(u'\0'))) {
        client->abort();
        return;
    }
    m_queue.enqueue({ client, text });
    scheduleNext();
}

void SingleInstance::drop(QLocalSocket *client)
{
    m_unfinished.remove(client);
    client->abort();
}

void SingleInstance::scheduleNext()
{
    // The handler always runs from the event loop, never from inside a socket's signal.
    if (m_scheduled || m_busy || !m_handler || m_queue.isEmpty())
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &SingleInstance::handleNext, Qt::QueuedConnection);
}

void SingleInstance::handleNext()
{
    m_scheduled = false;
    if (m_busy || !m_handler)
        return;
    while (!m_queue.isEmpty()) {
        const Pending next = m_queue.dequeue();
        // A client that gave up has already told its user the hand-off failed: opening its string
        // now would contradict that.
        if (!senderStillWaits(next.client))
            continue;
        Handover handover;
        m_busy = true; // a modal box in the handler lets the next string wait
        try {
            handover = m_handler(next.text);
        } catch (const std::exception &) {
            handover = Handover();
        }
        if (next.client) {
            next.client->write(handover.accepted ? "A" : "R", 1);
            next.client->flush();
            next.client->disconnectFromServer();
        }
        // The sender has its answer; the opening shows its own failures.
        if (handover.accepted && handover.open) {
            try {
                handover.open();
            } catch (const std::exception &) {
            }
        }
        m_busy = false;
        break;
    }
    scheduleNext();
}
