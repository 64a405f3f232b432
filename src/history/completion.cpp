#include "completion.h"

#include "favoritesstore.h"
#include "linkfile.h"
#include "pinyin.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

constexpr char16_t kFieldMark = 1;

// The address as a user types it: without the scheme and "www.".
QStringView typedAddress(QStringView address)
{
    for (const QStringView scheme : { u"https://", u"http://", u"file://", u"ftp://" }) {
        if (address.startsWith(scheme, Qt::CaseInsensitive)) {
            address = address.mid(scheme.size());
            break;
        }
    }
    if (address.startsWith(u"www.", Qt::CaseInsensitive))
        address = address.mid(4);
    return address;
}

} // namespace

void CompletionIndex::rebuild(const QList<PageEntry> &pages)
{
    m_text.clear();
    m_starts.clear();
    m_pageOf.clear();
    m_segmentOf.clear();
    m_byFirst.clear();
    m_counts.fill(0);
    m_dead = 0;
    m_text.reserve(pages.size() * 80);
    m_starts.reserve(pages.size());
    m_pageOf.reserve(pages.size());
    m_segmentOf.reserve(pages.size());
    for (qsizetype i = 0; i < pages.size(); ++i)
        set(i, pages.at(i));
}

void CompletionIndex::set(qsizetype page, const PageEntry &entry)
{
    if (page < m_segmentOf.size()) {
        const qsizetype old = m_segmentOf.at(page);
        if (old >= 0) {
            m_pageOf[old] = -1;
            ++m_dead;
        }
    } else {
        m_segmentOf.resize(page + 1, -1);
    }
    m_segmentOf[page] = m_starts.size();
    m_starts.append(m_text.size());
    m_pageOf.append(page);
    // Each field starts with the mark, so a match at a field's start is one right after it.
    const qsizetype segment = m_starts.size() - 1;
    for (const QString &field :
        { typedAddress(entry.address).toString(), entry.title, entry.pinyinFull, entry.pinyinInitials }) {
        const QString lower = field.toLower().remove(QChar(kFieldMark));
        if (!lower.isEmpty()) {
            QList<qsizetype> &starting = m_byFirst[lower.front()];
            if (starting.isEmpty() || starting.last() != segment)
                starting.append(segment);
        }
        const QByteArray bytes = lower.toUtf8();
        for (const char c : bytes)
            ++m_counts[quint8(c)];
        m_text.append(char(kFieldMark));
        m_text.append(bytes);
    }
}

QList<CompletionIndex::Hit> CompletionIndex::find(QStringView needle) const
{
    std::vector<Hit> hits;
    find(needle, hits);
    return QList<Hit>(hits.cbegin(), hits.cend());
}

void CompletionIndex::find(QStringView needle, std::vector<Hit> &hits) const
{
    hits.clear();
    const QString text = typedAddress(needle.toString().remove(QChar(kFieldMark))).toString();
    if (text.isEmpty() || m_text.isEmpty())
        return;
    if (text.size() == 1) {
        // One letter matches too much inside words to mean anything there: only at a start.
        for (const qsizetype segment : m_byFirst.value(text.front())) {
            if (m_pageOf.at(segment) >= 0)
                hits.push_back({ m_pageOf.at(segment), true });
        }
        return;
    }
    const QByteArray pattern = text.toUtf8();
    // UTF-8 matches only at whole characters. memchr goes through megabytes far quicker than
    // any loop over strings, so it looks for the pattern's rarest byte and memcmp checks the rest.
    const char *base = m_text.constData();
    const size_t size = size_t(m_text.size());
    const size_t length = size_t(pattern.size());
    size_t pivot = 0;
    for (size_t i = 1; i < length; ++i) {
        if (m_counts[quint8(pattern.at(i))] < m_counts[quint8(pattern.at(pivot))])
            pivot = i;
    }
    const char rare = pattern.at(pivot);
    const auto search = [&](size_t from, size_t to) -> qsizetype {
        while (from + length <= to) {
            const void *found = std::memchr(base + from + pivot, rare, to - from - length + 1);
            if (!found)
                return -1;
            const size_t at = size_t(static_cast<const char *>(found) - base) - pivot;
            if (std::memcmp(base + at, pattern.constData(), length) == 0)
                return qsizetype(at);
            from = at + 1;
        }
        return -1;
    };
    size_t from = 0;
    qsizetype segment = 0;
    const qsizetype segments = m_starts.size();
    for (qsizetype at = search(0, size); at >= 0; at = search(from, size)) {
        // Matches come in order: a few steps forward, or a binary search when they are sparse.
        const qsizetype near = qMin(segment + 8, segments);
        while (segment + 1 < near && m_starts.at(segment + 1) <= at)
            ++segment;
        if (segment + 1 < segments && m_starts.at(segment + 1) <= at)
            segment = (std::upper_bound(m_starts.cbegin() + segment, m_starts.cend(), at) - m_starts.cbegin())
                - 1;
        const size_t end = size_t(segment + 1 < m_starts.size() ? m_starts.at(segment + 1) : m_text.size());
        if (m_pageOf.at(segment) >= 0) {
            // A later match in the same segment may start a field even when this one does not.
            bool atStart = false;
            for (qsizetype p = at; p >= 0; p = search(size_t(p) + 1, end)) {
                if (base[p - 1] == char(kFieldMark)) {
                    atStart = true;
                    break;
                }
            }
            hits.push_back({ m_pageOf.at(segment), atStart });
        }
        from = end;
    }
}

namespace Completion {

namespace {

    constexpr qint64 kDay = 24LL * 3600 * 1000;

    enum class Match { None, Inside, Start };

    struct Query
    {
        QString text; // lower case
        QString compact; // without blanks, when it can be pinyin
    };

    Match matchOf(const Query &q, const QString &addressKey, const QString &titleKey, const QString &full,
        const QString &initials)
    {
        const QStringView address = typedAddress(addressKey);
        if (address.startsWith(q.text) || titleKey.startsWith(q.text))
            return Match::Start;
        if (!q.compact.isEmpty() && (full.startsWith(q.compact) || initials.startsWith(q.compact)))
            return Match::Start;
        if (q.text.size() == 1)
            return Match::None; // one letter counts only at a start, as in history
        if (address.contains(q.text) || titleKey.contains(q.text))
            return Match::Inside;
        if (!q.compact.isEmpty() && (full.contains(q.compact) || initials.contains(q.compact)))
            return Match::Inside;
        return Match::None;
    }

} // namespace

QList<FavoriteEntry> readFavorites(const QString &folder)
{
    QList<FavoriteEntry> out;
    for (const QString &name : FavoritesStore::listFiles(folder)) {
        const QString path = folder + u'/' + name;
        try {
            const LinkFile::ReadResult link = LinkFile::read(path);
            if (link.formatError)
                continue;
            FavoriteEntry entry;
            entry.name = QFileInfo(name).completeBaseName();
            entry.path = path;
            entry.address = link.address;
            const Pinyin::Keys keys = Pinyin::of(entry.name);
            entry.pinyinFull = keys.full;
            entry.pinyinInitials = keys.initials;
            entry.nameKey = entry.name.toLower();
            entry.addressKey = entry.address.toLower();
            out.append(entry);
        } catch (const std::exception &) {
            // A file that cannot be read is simply not offered.
        }
    }
    return out;
}

double frecency(int visits, qint64 lastVisit, qint64 now)
{
    const qint64 age = now - lastVisit;
    double weight = 10;
    if (age <= 4 * kDay)
        weight = 100;
    else if (age <= 14 * kDay)
        weight = 70;
    else if (age <= 31 * kDay)
        weight = 50;
    else if (age <= 90 * kDay)
        weight = 30;
    return weight * qMax(1, visits);
}

QList<Suggestion> suggest(const QString &typed, const QList<FavoriteEntry> &favorites,
    const QList<PageEntry> &pages, qint64 now, int limit)
{
    CompletionIndex index;
    index.rebuild(pages);
    return suggest(typed, favorites, pages, index, now, limit);
}

QList<Suggestion> suggest(const QString &typed, const QList<FavoriteEntry> &favorites,
    const QList<PageEntry> &pages, const CompletionIndex &index, qint64 now, int limit)
{
    QList<Suggestion> out;
    Query q;
    q.text = typed.trimmed().toLower();
    if (q.text.isEmpty() || limit <= 0)
        return out;
    if (Pinyin::looksLikePinyin(q.text))
        q.compact = QString(q.text).remove(u' ');

    // Favorites: those whose name or address starts with the text first, then by name.
    QList<std::pair<int, qsizetype>> favoriteHits;
    for (qsizetype i = 0; i < favorites.size(); ++i) {
        const FavoriteEntry &f = favorites.at(i);
        const Match m = matchOf(q, f.addressKey, f.nameKey, f.pinyinFull, f.pinyinInitials);
        if (m != Match::None)
            favoriteHits.append({ m == Match::Start ? 0 : 1, i });
    }
    std::stable_sort(favoriteHits.begin(), favoriteHits.end(),
        [](const auto &a, const auto &b) { return a.first < b.first; });
    QSet<QString> shown;
    for (const auto &hit : favoriteHits) {
        if (out.size() >= qMin(limit, favoriteRows))
            break;
        const FavoriteEntry &f = favorites.at(hit.second);
        out.append({ Suggestion::Kind::Favorite, f.name, f.address, f.path });
        shown.insert(f.address);
    }

    struct Hit
    {
        double score;
        qint64 lastVisit;
        qsizetype index;
    };
    // Kept from round to round: a round at 100,000 entries then asks the system for no memory.
    thread_local std::vector<CompletionIndex::Hit> found;
    thread_local std::vector<CompletionIndex::Hit> more;
    thread_local std::vector<Hit> hits;
    index.find(q.text, found);
    if (!q.compact.isEmpty() && q.compact != q.text) {
        // Typed with blanks: the blanks count in addresses and titles, not in pinyin.
        QHash<qsizetype, size_t> position;
        for (size_t i = 0; i < found.size(); ++i)
            position.insert(found[i].page, i);
        index.find(q.compact, more);
        for (const CompletionIndex::Hit &h : more) {
            const auto it = position.constFind(h.page);
            if (it == position.cend())
                found.push_back(h);
            else if (h.atStart)
                found[it.value()].atStart = true;
        }
    }
    hits.clear();
    for (const CompletionIndex::Hit &h : found) {
        if (h.page >= pages.size())
            continue;
        const PageEntry &p = pages.at(h.page);
        // A match at the start of the address or title is what the user is typing towards.
        hits.push_back({ frecency(p.visits, p.lastVisit, now) * (h.atStart ? 2 : 1), p.lastVisit, h.page });
    }
    // Everything the order needs is in the hit: no string is compared in a round.
    const auto better = [](const Hit &a, const Hit &b) {
        if (a.score != b.score)
            return a.score > b.score;
        if (a.lastVisit != b.lastVisit)
            return a.lastVisit > b.lastVisit;
        return a.index < b.index;
    };
    const size_t wanted = std::min(hits.size(), size_t(limit - out.size() + shown.size()));
    std::partial_sort(hits.begin(), hits.begin() + qsizetype(wanted), hits.end(), better);
    for (size_t i = 0; i < wanted && out.size() < limit; ++i) {
        const PageEntry &p = pages.at(hits[i].index);
        if (shown.contains(p.address))
            continue;
        out.append({ Suggestion::Kind::History, p.title, p.address, p.address });
    }
    return out;
}

} // namespace Completion
