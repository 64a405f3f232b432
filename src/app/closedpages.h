#pragma once

#include <QString>
#include <QStringList>

// The addresses of the pages closed in this run, the last closed first out; blank pages are
// not worth reopening and are not kept.
class ClosedPages final
{
public:
    static constexpr int limit = 10;

    void remember(const QString &address);
    // The last closed address, taken off the list; empty when none is left.
    QString takeLast();
    bool isEmpty() const { return m_addresses.isEmpty(); }
    int size() const { return int(m_addresses.size()); }

private:
    QStringList m_addresses;
};
