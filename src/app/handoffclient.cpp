#include "commandline.h"
#include "failure.h"
#include "handoff.h"
#include "handofffolder.h"
#include "processinfo.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <QtEndian>

// QLocalSocket's blocking calls need no application object (checked on Qt 6.4), so one code path
// serves every platform.

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

// Connects, retrying while the running instance may still be starting its server.
bool connectBefore(QLocalSocket &socket, const QString &name, const QDeadlineTimer &deadline)
{
    while (true) {
        socket.connectToServer(name);
        if (socket.waitForConnected(remaining(deadline)))
            return true;
        socket.abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(quint64(qMin(20, remaining(deadline))));
    }
}

} // namespace

HandoffResult sendToRunningInstance(
    const QString &dataFolder, const QString &text, int timeoutMs, QString *error)
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
    QLocalSocket socket;
    if (!connectBefore(socket, name, deadline))
        return fail(HandoffResult::NoAnswer, noAnswer);

    QByteArray message(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), message.data());
    message += payload;
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remaining(deadline)))
            return fail(HandoffResult::NoAnswer, noAnswer);
    }
    char answer = 0;
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(remaining(deadline)))
            return fail(HandoffResult::NoAnswer, noAnswer);
    }
    socket.getChar(&answer);
    if (answer == 'A')
        return HandoffResult::Accepted;
    if (answer == 'R')
        return fail(HandoffResult::Refused,
            QStringLiteral("已经打开的Kovalis没有接受要打开的“%1”。").arg(shortened(text)));
    return fail(HandoffResult::NoAnswer, noAnswer);
}

HandoffResult handOverCommandLine(const QString &dataFolder, const QString &commandLine, QString *error)
{
    const QString text = CommandLine::makeAbsoluteIfExistingFile(
        CommandLine::withoutQuotes(commandLine), QDir::currentPath());
    const HandoffResult result = sendToRunningInstance(dataFolder, text, 5000, error);
    if (result == HandoffResult::Accepted)
        ProcessInfo::trace("handed-over");
    return result;
}
