#include "commandline.h"
#include "failure.h"
#include "handoff.h"
#include "handofffolder.h"
#include "processinfo.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#else
#include <QLocalSocket>
#endif

// The blocking calls need no application object, so a second start is handed over before the
// display is reached; on Unix the socket is a plain one, so the small program loads no Qt Network.

namespace {

int remaining(const QDeadlineTimer &deadline)
{
    return int(qMax<qint64>(0, deadline.remainingTime()));
}

QString shortened(const QString &text)
{
    constexpr int shown = 200;
    return text.size() <= shown ? text : text.left(shown) + QChar(0x2026);
}

#ifdef Q_OS_UNIX
// One connection to the running instance's socket, every wait bounded by the deadline.
class Channel
{
public:
    Channel() = default;
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;
    ~Channel() { close(); }

    bool connectTo(const QString &path, const QDeadlineTimer &)
    {
        close();
        const QByteArray name = QFile::encodeName(path);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (name.size() >= qsizetype(sizeof address.sun_path))
            return false;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_fd < 0)
            return false;
        // A local socket connects at once or not at all (a listener with a full queue says EAGAIN;
        // the caller tries again).
        if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            return true;
        close();
        return false;
    }

    bool writeAll(const QByteArray &bytes, const QDeadlineTimer &deadline)
    {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n
                = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else if (n < 0 && errno == EAGAIN && wait(POLLOUT, deadline))
                continue;
            else
                return false;
        }
        return true;
    }

    // The answer byte, or 0 when none came in time.
    char readByte(const QDeadlineTimer &deadline)
    {
        while (true) {
            char byte = 0;
            const ssize_t n = ::recv(m_fd, &byte, 1, 0);
            if (n == 1)
                return byte;
            if (n < 0 && errno == EINTR)
                continue;
            if (!(n < 0 && errno == EAGAIN && wait(POLLIN, deadline)))
                return 0;
        }
    }

private:
    bool wait(short events, const QDeadlineTimer &deadline)
    {
        pollfd p {};
        p.fd = m_fd;
        p.events = events;
        int n;
        do
            n = ::poll(&p, 1, remaining(deadline));
        while (n < 0 && errno == EINTR && !deadline.hasExpired());
        return n > 0 && (p.revents & events);
    }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    int m_fd = -1;
};
#else
class Channel
{
public:
    bool connectTo(const QString &name, const QDeadlineTimer &deadline)
    {
        m_socket.abort();
        m_socket.connectToServer(name);
        return m_socket.waitForConnected(remaining(deadline));
    }

    bool writeAll(const QByteArray &bytes, const QDeadlineTimer &deadline)
    {
        m_socket.write(bytes);
        while (m_socket.bytesToWrite() > 0) {
            if (!m_socket.waitForBytesWritten(remaining(deadline)))
                return false;
        }
        return true;
    }

    char readByte(const QDeadlineTimer &deadline)
    {
        while (m_socket.bytesAvailable() == 0) {
            if (!m_socket.waitForReadyRead(remaining(deadline)))
                return 0;
        }
        char byte = 0;
        m_socket.getChar(&byte);
        return byte;
    }

private:
    QLocalSocket m_socket;
};
#endif

// Connects, retrying while the running instance may still be starting its server.
bool connectBefore(Channel &channel, const QString &name, const QDeadlineTimer &deadline)
{
    while (true) {
        if (channel.connectTo(name, deadline))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(quint64(qMin(20, remaining(deadline))));
    }
}

} // namespace

HandoffResult sendToRunningInstance(
    const QString &dataFolder, const QString &text, int timeoutMs, QString *error, IfNoneListens ifNone)
{
    const auto fail = [error](HandoffResult result, const QString &why) {
        if (error)
            *error = why;
        return result;
    };
    const QByteArray payload = text.toUtf8();
    if (payload.isEmpty())
        return fail(HandoffResult::Refused, QStringLiteral("没有要交给已经打开的Kovalis的地址。"));
    if (payload.size() > SingleInstance::maxMessageBytes || text.contains(QChar(u'\0')))
        return fail(HandoffResult::Refused,
            QStringLiteral("要打开的地址太长（超过%1 KB）或者含有无效字符，没有交给已经打开的Kovalis。")
                .arg(SingleInstance::maxMessageBytes / 1024));
    QString name;
    try {
        name = HandoffFolder::serverName(dataFolder);
    } catch (const Failure &failure) {
        return fail(HandoffResult::NoAnswer, failure.description());
    }

    const QString noAnswer = QStringLiteral("Kovalis已经打开，但它在%1秒内没有回应，“%2”没有交给它打开。")
                                 .arg(QString::number(qMax(0, timeoutMs) / 1000.0), shortened(text));
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    Channel channel;
    if (ifNone == IfNoneListens::GiveUp) {
        if (!channel.connectTo(name, deadline))
            return fail(HandoffResult::NotRunning, QString());
    } else if (!connectBefore(channel, name, deadline)) {
        return fail(HandoffResult::NoAnswer, noAnswer);
    }

    QByteArray message(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), message.data());
    message += payload;
    if (!channel.writeAll(message, deadline))
        return fail(HandoffResult::NoAnswer, noAnswer);
    const char answer = channel.readByte(deadline);
    if (answer == 'A')
        return HandoffResult::Accepted;
    if (answer == 'R')
        return fail(HandoffResult::Refused,
            QStringLiteral("已经打开的Kovalis没有接受要打开的“%1”。").arg(shortened(text)));
    return fail(HandoffResult::NoAnswer, noAnswer);
}

HandoffResult handOverCommandLine(
    const QString &dataFolder, const QString &commandLine, QString *error, IfNoneListens ifNone)
{
    const QString text = CommandLine::makeAbsoluteIfExistingFile(
        CommandLine::withoutQuotes(commandLine), QDir::currentPath());
    const HandoffResult result = sendToRunningInstance(dataFolder, text, 5000, error, ifNone);
    if (result == HandoffResult::Accepted)
        ProcessInfo::trace("handed-over");
    return result;
}
