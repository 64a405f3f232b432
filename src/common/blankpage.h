#pragma once

#include <QString>

// The empty page: what a new or closed page shows, and the one test of whether an address is it.
namespace BlankPage {

inline QString address()
{
    return QStringLiteral("about:blank");
}

// Exactly "about:blank" in any letter case; compared without copying, since every new page
// scans all open ones.
inline bool is(const QString &address)
{
    return address.size() == 11 && address.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0;
}

} // namespace BlankPage
