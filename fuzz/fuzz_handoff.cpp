#include "fuzzcheck.h"
#include "handoff.h"
#include "handofffolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The running instance's side of the hand-off, in-process: each input is what one client sends.
// A well-formed message must reach the handler unchanged and be answered 'A'; anything else must
// be dropped without an answer and without reaching the handler.
namespace {

struct Server
{
    std::unique_ptr<QCoreApplication> app;
    QTemporaryDir folder;
    std::unique_ptr<SingleInstance> instance;
    QStringList received;
};

Server &server()
{
    static Server s = [] {
        static int argc = 1;
        static char name[] = "fuzz_handoff";
        static char *argv[] = { name, nullptr };
        Server made;
        made.app = std::make_unique<QCoreApplication>(argc, argv);
        return made;
    }();
    if (!s.instance) {
        s.instance = std::make_unique<SingleInstance>(s.folder.path());
        FUZZ_CHECK(s.instance->tryBecomePrimary());
        s.instance->setClientTimeout(20);
        s.instance->setExecuteHandler([](const QString &text) {
            server().received.append(text);
            return true;
        });
    }
    return s;
}

// The text a well-formed message carries, or a null string.
QString expectedText(const QByteArray &bytes)
{
    if (bytes.size() < 4)
        return QString();
    const quint32 length = qFromBigEndian<quint32>(bytes.constData());
    if (length == 0 || length > quint32(SingleInstance::maxMessageBytes)
        || bytes.size() != 4 + qsizetype(length))
        return QString();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(bytes).sliced(4));
    if (utf8.hasError() || text.contains(QChar(u'\0')))
        return QString();
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Server &s = server();
    s.received.clear();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // A plain socket: the client must not need the event loop the server runs on.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    FUZZ_CHECK(fd >= 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(HandoffFolder::serverName(s.folder.path()));
    FUZZ_CHECK(size_t(path.size()) < sizeof address.sun_path);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    FUZZ_CHECK(connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);

    QDeadlineTimer deadline(2000);
    qsizetype sent = 0;
    QByteArray answer;
    bool hungUp = false;
    // Until the server answers or hangs up; a silent half message is dropped after the timeout.
    while (!hungUp && answer.isEmpty() && !deadline.hasExpired()) {
        if (sent < bytes.size()) {
            const ssize_t n = send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                hungUp = true; // dropped while we were still writing
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        char buffer[16];
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got > 0)
            answer.append(buffer, qsizetype(got));
        else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            hungUp = true;
    }
    ::close(fd);
    const QString expected = expectedText(bytes);
    if (expected.isNull()) {
        FUZZ_CHECK(answer.isEmpty());
        FUZZ_CHECK(s.received.isEmpty());
        FUZZ_CHECK(!deadline.hasExpired());
    } else {
        FUZZ_CHECK(answer == "A");
        FUZZ_CHECK(s.received == QStringList { expected });
    }
    QCoreApplication::processEvents();
    return 0;
}
