#include "handoff.h"

#include "failure.h"
#include "handofffolder.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>
#include <exception>

SingleInstance::SingleInstance(const QString &programFolder, QObject *parent)
    : QObject(parent)
    , m_programFolder(programFolder)
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
    m_serverName = HandoffFolder::serverName(m_programFolder);
    m_lockPath = HandoffFolder::lockPath(m_programFolder);
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a dead owner makes the lock stale, never its age: a long-running instance keeps it.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError)
        return false;
    throw Failure(QStringLiteral("无法建立锁文件“%1”，不能确定Kovalis是否已经打开。").arg(m_lockPath));
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
        if (!next.client || next.client->state() != QLocalSocket::ConnectedState)
            continue;
        bool accepted = false;
        m_busy = true; // a modal box in the handler lets the next string wait
        try {
            accepted = m_handler(next.text);
        } catch (const std::exception &) {
            accepted = false;
        }
        m_busy = false;
        if (next.client) {
            next.client->write(accepted ? "A" : "R", 1);
            next.client->flush();
            next.client->disconnectFromServer();
        }
        break;
    }
    scheduleNext();
}
