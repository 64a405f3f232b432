#include "closedpages.h"

#include "blankpage.h"

void ClosedPages::remember(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || BlankPage::is(trimmed))
        return;
    m_addresses.append(trimmed);
    while (m_addresses.size() > limit)
        m_addresses.removeFirst();
}

QString ClosedPages::takeLast()
{
    return m_addresses.isEmpty() ? QString() : m_addresses.takeLast();
}
