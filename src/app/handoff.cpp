#include "handoff.h"

#include "failure.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace Handoff {

QString privateFolder()
{
#ifdef Q_OS_UNIX
    const uid_t uid = getuid();
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder;
    struct stat st;
    if (!base.isEmpty() && ::stat(QFile::encodeName(base).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == uid)
        folder = base + QStringLiteral("/kovalis");
    else
        folder = QDir::tempPath() + QStringLiteral("/kovalis-%1").arg(uid);
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        throw Failure(QStringLiteral("无法创建文件夹 %1：%2").arg(folder, QString::fromLocal8Bit(strerror(errno))));
    // Someone else's folder, or one others can enter, is never used.
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid
        || (st.st_mode & 077) != 0)
        throw Failure(QStringLiteral("文件夹 %1 不属于当前用户或权限不安全，Kovalis 不能使用它。").arg(folder));
    return folder;
#else
    return QDir::tempPath();
#endif
}

namespace {
QString folderKey(const QString &programFolder)
{
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    const QString key = canonical.isEmpty() ? QDir::cleanPath(programFolder) : canonical;
    return QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}
} // namespace

QString serverName(const QString &programFolder)
{
#ifdef Q_OS_UNIX
    return privateFolder() + QStringLiteral("/Kovalis-MDIForm1-") + folderKey(programFolder);
#else
    return QStringLiteral("Kovalis-MDIForm1-") + folderKey(programFolder);
#endif
}

QString lockPath(const QString &programFolder)
{
    return privateFolder() + QStringLiteral("/Kovalis-") + folderKey(programFolder) + QStringLiteral(".lock");
}

QByteArray frame(const QString &text)
{
    const QByteArray payload = text.toUtf8();
    if (payload.size() > SingleInstance::maxMessageBytes)
        return QByteArray();
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), framed.data());
    return framed + payload;
}

} // namespace Handoff

SingleInstance::SingleInstance(const QString &programFolder, QObject *parent)
    : QObject(parent)
    , m_serverName(Handoff::serverName(programFolder))
    , m_lockPath(Handoff::lockPath(programFolder))
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

bool SingleInstance::tryLock()
{
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a dead owner makes a lock stale, never its age.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError)
        return false;
    throw Failure(QStringLiteral("无法创建锁文件 %1。").arg(m_lockPath));
}

void SingleInstance::listen()
{
    if (!m_lock || !m_lock->isLocked())
        throw Failure(QStringLiteral("内部错误：没有取得锁就开始监听。"));
    // We hold the lock, so a socket left behind belongs to a dead instance.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    if (!m_server->listen(m_serverName))
        throw Failure(QStringLiteral("无法接收其他启动传来的地址：%1").arg(m_server->errorString()));
#ifdef Q_OS_UNIX
    ::chmod(QFile::encodeName(m_serverName).constData(), 0600);
#endif
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

void SingleInstance::setExecuteHandler(std::function<bool(const QString &)> handler)
{
    m_handler = std::move(handler);
    QTimer::singleShot(0, this, &SingleInstance::runQueue);
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        // A client that never finishes its message is dropped.
        QTimer::singleShot(silentClientMs, socket, [socket] {
            if (!socket->property("done").toBool())
                socket->abort();
        });
    }
}

void SingleInstance::readFrom(QLocalSocket *socket)
{
    if (socket->property("done").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    if (buffer.size() < 4) {
        socket->setProperty("buffer", buffer);
        return;
    }
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > quint32(maxMessageBytes) || buffer.size() > 4 + qsizetype(length)) {
        socket->abort();
        return;
    }
    if (buffer.size() < 4 + qsizetype(length)) {
        socket->setProperty("buffer", buffer);
        return;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(buffer).sliced(4));
    if (utf8.hasError() || text.contains(QChar(u'\0'))) {
        socket->abort();
        return;
    }
    socket->setProperty("done", true);
    socket->setProperty("buffer", QVariant());
    m_queue.enqueue({socket, text});
    runQueue();
}

void SingleInstance::runQueue()
{
    // One string at a time: a handler that shows a box lets the next one wait.
    if (m_running || !m_handler)
        return;
    m_running = true;
    while (!m_queue.isEmpty()) {
        Pending next = m_queue.dequeue();
        const bool accepted = m_handler(next.text);
        if (next.socket) {
            next.socket->write(accepted ? "A" : "R");
            next.socket->flush();
            next.socket->disconnectFromServer();
        }
    }
    m_running = false;
}

namespace {
QString noAnswer()
{
    return QStringLiteral("已经打开的 Kovalis 没有回应，无法把地址交给它。请关闭它后再试。");
}

#ifdef Q_OS_UNIX
int remainingMs(const QElapsedTimer &clock, int timeoutMs)
{
    return qMax(0, timeoutMs - int(clock.elapsed()));
}

// Connects, retrying while the running instance may still be starting its server.
int connectUntil(const QByteArray &path, const QElapsedTimer &clock, int timeoutMs)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof(address.sun_path)))
        return -1;
    memcpy(address.sun_path, path.constData(), path.size());
    while (true) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0)
            return fd;
        ::close(fd);
        if (remainingMs(clock, timeoutMs) == 0)
            return -1;
        ::usleep(10000);
    }
}
#endif
} // namespace

HandoffResult sendToRunningInstance(const QString &programFolder, const QString &text, int timeoutMs, QString *error)
{
    const auto fail = [error](HandoffResult result, const QString &why) {
        if (error)
            *error = why;
        return result;
    };
    const QByteArray message = Handoff::frame(text);
    if (message.isEmpty())
        return fail(HandoffResult::Refused, QStringLiteral("要打开的地址太长了。"));
    QString name;
    try {
        name = Handoff::serverName(programFolder);
    } catch (const Failure &failure) {
        return fail(HandoffResult::NoAnswer, failure.description());
    }
    QElapsedTimer clock;
    clock.start();
#ifdef Q_OS_UNIX
    const int fd = connectUntil(QFile::encodeName(name), clock, timeoutMs);
    if (fd < 0)
        return fail(HandoffResult::NoAnswer, noAnswer());
    qsizetype sent = 0;
    while (sent < message.size()) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, remainingMs(clock, timeoutMs)) <= 0)
            break;
        const ssize_t n = ::send(fd, message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
    }
    char answer = 0;
    if (sent == message.size()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, remainingMs(clock, timeoutMs)) > 0 && ::recv(fd, &answer, 1, 0) != 1)
            answer = 0;
    }
    ::close(fd);
#else
    QLocalSocket socket;
    char answer = 0;
    do {
        socket.connectToServer(name);
        if (socket.waitForConnected(qMax(1, timeoutMs - int(clock.elapsed()))))
            break;
    } while (clock.elapsed() < timeoutMs);
    if (socket.state() == QLocalSocket::ConnectedState) {
        socket.write(message);
        socket.waitForBytesWritten(qMax(1, timeoutMs - int(clock.elapsed())));
        if (socket.waitForReadyRead(qMax(1, timeoutMs - int(clock.elapsed()))))
            socket.getChar(&answer);
    }
#endif
    if (answer == 'A')
        return HandoffResult::Accepted;
    if (answer == 'R')
        return fail(HandoffResult::Refused, QStringLiteral("已经打开的 Kovalis 拒绝打开“%1”。").arg(text));
    return fail(HandoffResult::NoAnswer, noAnswer());
}
