#pragma once

#include "historytypes.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <array>
#include <vector>

// One row of the list under the address box.
struct Suggestion
{
    enum class Kind { Favorite, History };
    Kind kind = Kind::History;
    QString title;
    QString address;
    // What opens it: the link file of a favorite, the address of a history entry.
    QString target;
};

// A favorite as completion matches it: its name and pinyin, its address.
struct FavoriteEntry
{
    QString name;
    QString path;
    QString address;
    QString pinyinFull;
    QString pinyinInitials;
    QString nameKey;
    QString addressKey;
};

// Everything completion searches in history, lower case, in one piece of memory, so that a round
// is one fast pass over it rather than a walk over 100,000 strings. Each page has a segment;
// a page whose text changed gets a new one at the end and its old one is left dead.
class CompletionIndex final
{
public:
    void rebuild(const QList<PageEntry> &pages);
    // Adds the text of page `page` (its position in the list), or replaces it.
    void set(qsizetype page, const PageEntry &entry);
    // More dead text than live: time to rebuild.
    bool wasteful() const { return m_dead > 1024 && m_dead > m_pageOf.size() / 2; }

    struct Hit
    {
        qsizetype page;
        bool atStart; // the text starts the address, the title or the pinyin
    };
    // Every page whose address, title or pinyin contains `needle` (lower case), once each; a
    // single character only where it starts one of them.
    QList<Hit> find(QStringView needle) const;
    // The same into `hits` (cleared first), whose memory a caller keeps from round to round.
    void find(QStringView needle, std::vector<Hit> &hits) const;

private:
    QByteArray m_text; // UTF-8
    QList<qsizetype> m_starts; // where each segment begins
    QList<qsizetype> m_pageOf; // the page of each segment, -1 when dead
    QList<qsizetype> m_segmentOf; // the live segment of each page
    QHash<QChar, QList<qsizetype>> m_byFirst; // segments by the first character of each field
    std::array<qsizetype, 256> m_counts {}; // how often each byte occurs in the text
    qsizetype m_dead = 0;
};

namespace Completion {

constexpr int rows = 10;
constexpr int favoriteRows = 5;

// The link files of the favorites folder; unreadable ones are passed over.
QList<FavoriteEntry> readFavorites(const QString &folder);

// How often and how recently an address was visited, as one number.
double frecency(int visits, qint64 lastVisit, qint64 now);

// Favorites first, then history, matched on address, title and pinyin (full or initials); a
// single typed character matches only at the start of one of them.
// Reads only what is in memory; `index` must be built from `pages`.
QList<Suggestion> suggest(const QString &typed, const QList<FavoriteEntry> &favorites,
    const QList<PageEntry> &pages, const CompletionIndex &index, qint64 now, int limit = rows);
// The same with an index made for the call.
QList<Suggestion> suggest(const QString &typed, const QList<FavoriteEntry> &favorites,
    const QList<PageEntry> &pages, qint64 now, int limit = rows);

} // namespace Completion
