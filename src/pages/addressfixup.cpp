#include "addressfixup.h"

#include "blankpage.h"

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

QUrl toUrl(const QString &address)
{
    if (address.isEmpty())
        return QUrl(BlankPage::address());
    if (hasKnownScheme(address))
        return QUrl(address, QUrl::TolerantMode);
    const QFileInfo local(address);
    if (QDir::isAbsolutePath(address) && local.exists())
        return QUrl::fromLocalFile(local.absoluteFilePath());
    // Hosts, "host:port/path" included, become web addresses.
    return QUrl::fromUserInput(address);
}

} // namespace AddressFixup
