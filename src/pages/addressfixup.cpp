#include "addressfixup.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace AddressFixup {

namespace {
    bool hasKnownScheme(const QString &address)
    {
        static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
        const QRegularExpressionMatch match = scheme.match(address);
        if (!match.hasMatch())
            return false;
        static const QStringList known { QStringLiteral("http"), QStringLiteral("https"),
            QStringLiteral("file"), QStringLiteral("about"), QStringLiteral("data"), QStringLiteral("ftp"),
            QStringLiteral("mailto"), QStringLiteral("blob"), QStringLiteral("view-source"),
            QStringLiteral("ws"), QStringLiteral("wss") };
        return known.contains(match.captured(1).toLower());
    }
} // namespace

QUrl toUrl(const QString &address, const QString &workingFolder)
{
    if (address.isEmpty())
        return QUrl(QStringLiteral("about:blank"));
    if (hasKnownScheme(address))
        return QUrl(address, QUrl::TolerantMode);
    const QString path = QDir::isAbsolutePath(address) || workingFolder.isEmpty()
        ? address
        : QDir(workingFolder).filePath(address);
    const QFileInfo local(path);
    if (QDir::isAbsolutePath(path) && local.exists())
        return QUrl::fromLocalFile(local.absoluteFilePath());
    // "host:port/path" would otherwise read as a scheme named after the host.
    static const QRegularExpression hostPort(QStringLiteral("^[A-Za-z0-9.-]+:[0-9]+(/|$|\\?|#)"));
    if (hostPort.match(address).hasMatch())
        return QUrl(QStringLiteral("http://") + address, QUrl::TolerantMode);
    return QUrl::fromUserInput(address);
}

} // namespace AddressFixup
