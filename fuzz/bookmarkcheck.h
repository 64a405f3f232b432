#pragma once

#include "bookmarks.h"
#include "fuzzcheck.h"

#include <QUrl>

// What every importer promises of what it lets through, whatever the input.
inline void checkBookmarks(const Bookmarks::ReadResult &read)
{
    FUZZ_CHECK(read.skipped >= 0);
    FUZZ_CHECK(read.bookmarks.size() + read.skipped <= Bookmarks::maxEntries + 1);
    for (const Bookmarks::Bookmark &b : read.bookmarks) {
        FUZZ_CHECK(!b.name.isEmpty());
        FUZZ_CHECK(!b.address.isEmpty());
        FUZZ_CHECK(b.address.size() <= Bookmarks::maxAddressLength);
        for (const QChar c : b.address)
            FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7f);
        const QString scheme = QUrl(b.address).scheme().toLower();
        FUZZ_CHECK(scheme == QLatin1String("http") || scheme == QLatin1String("https")
            || scheme == QLatin1String("ftp") || scheme == QLatin1String("file"));
    }
    // What we export reads back as the same addresses, in the same order.
    const Bookmarks::ReadResult back = Bookmarks::readNetscape(Bookmarks::composeHtml(read.bookmarks));
    FUZZ_CHECK(back.skipped == 0);
    FUZZ_CHECK(back.bookmarks.size() == read.bookmarks.size());
    for (qsizetype i = 0; i < back.bookmarks.size(); ++i)
        FUZZ_CHECK(back.bookmarks.at(i).address == read.bookmarks.at(i).address);
}
