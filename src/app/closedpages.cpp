#include "closedpages.h"

void ClosedPages::remember(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QStringLiteral("about:blank"), Qt::CaseInsensitive) == 0)
        return;
    m_addresses.append(trimmed);
    while (m_addresses.size() > limit)
        m_addresses.removeFirst();
}

QString ClosedPages::takeLast()
{
    return m_addresses.isEmpty() ? QString() : m_addresses.takeLast();
}
