#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// One visit as the history window lists it.
struct Visit
{
    qint64 id = 0;
    QString address;
    QString title;
    qint64 time = 0; // milliseconds since the epoch, UTC
};

// One address with everything completion ranks and matches it by.
struct PageEntry
{
    QString address;
    QString title;
    QString pinyinFull;
    QString pinyinInitials;
    int visits = 0;
    qint64 lastVisit = 0; // milliseconds since the epoch, UTC
};
