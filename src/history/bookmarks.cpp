#include "bookmarks.h"

#include "failure.h"
#include "favoritesstore.h"
#include "linkfile.h"
#include "safefile.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <exception>

using namespace Qt::StringLiterals;

namespace Bookmarks {

namespace {

    const QString kSeparator = u" - "_s;
    const QString kHomeMark = u"KOVALIS_HOMEPAGE"_s;

    bool isControl(QChar c)
    {
        return c.unicode() < 0x20 || c.unicode() == 0x7f;
    }

    QString wrongKind(const QString &what)
    {
        return u"这不是%1，没有导入任何书签。"_s.arg(what);
    }

    QString unknownKind(const QString &path)
    {
        return u"无法识别书签文件 %1。能导入的是 Chromium/Chrome 的 Bookmarks 文件、Firefox 的 places.sqlite "
               "和 bookmarks.html。没有导入任何书签。"_s.arg(path);
    }

    QString joined(const QStringList &folders, const QString &title)
    {
        QStringList parts;
        for (const QString &f : folders) {
            if (!f.trimmed().isEmpty())
                parts.append(f.trimmed());
        }
        parts.append(title);
        return parts.join(kSeparator);
    }

    // Collects bookmarks, keeping to the bounds every reader shares.
    class Collector
    {
    public:
        ReadResult result;

        bool full() const { return m_seen >= maxEntries; }

        void add(const QStringList &folders, const QString &title, const QString &address, bool home = false)
        {
            ++m_seen;
            const QString trimmed = address.trimmed();
            if (!acceptable(trimmed)) {
                ++result.skipped;
                return;
            }
            QString name = title.simplified();
            if (name.isEmpty())
                name = QUrl(trimmed).host();
            if (name.isEmpty())
                name = trimmed.left(60);
            result.bookmarks.append({ joined(folders, name), trimmed, home });
        }

        void skip() { ++result.skipped; }

    private:
        static bool acceptable(const QString &address)
        {
            if (address.isEmpty() || address.size() > maxAddressLength)
                return false;
            // A control character would end the link file's address line early.
            for (const QChar c : address) {
                if (isControl(c))
                    return false;
            }
            const QUrl url(address);
            const QString scheme = url.scheme().toLower();
            return url.isValid()
                && (scheme == u"http"_s || scheme == u"https"_s || scheme == u"ftp"_s || scheme == u"file"_s);
        }

        int m_seen = 0;
    };

    void walkChromium(const QJsonObject &node, QStringList &folders, int depth, Collector &out)
    {
        if (out.full())
            return;
        const QString type = node.value(u"type"_s).toString();
        if (type == u"url"_s) {
            out.add(folders, node.value(u"name"_s).toString(), node.value(u"url"_s).toString());
            return;
        }
        if (type != u"folder"_s)
            return;
        const QJsonArray children = node.value(u"children"_s).toArray();
        if (depth >= maxDepth) {
            out.skip();
            return;
        }
        folders.append(node.value(u"name"_s).toString());
        for (const QJsonValue &child : children)
            walkChromium(child.toObject(), folders, depth + 1, out);
        folders.removeLast();
    }

    // Text between a tag and the next one, with the entities browsers write decoded.
    QString decodeEntities(QStringView text)
    {
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c != u'&') {
                out.append(c);
                continue;
            }
            const qsizetype end = text.indexOf(u';', i);
            if (end < 0 || end - i > 10) {
                out.append(c);
                continue;
            }
            const QStringView entity = text.mid(i + 1, end - i - 1);
            char32_t code = 0;
            if (entity == u"amp")
                code = u'&';
            else if (entity == u"lt")
                code = u'<';
            else if (entity == u"gt")
                code = u'>';
            else if (entity == u"quot")
                code = u'"';
            else if (entity == u"apos")
                code = u'\'';
            else if (entity == u"nbsp")
                code = u' ';
            else if (entity.startsWith(u"#x") || entity.startsWith(u"#X"))
                code = char32_t(entity.mid(2).toUInt(nullptr, 16));
            else if (entity.startsWith(u'#'))
                code = char32_t(entity.mid(1).toUInt());
            if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
                out.append(c);
                continue;
            }
            out.append(QString::fromUcs4(&code, 1));
            i = end;
        }
        return out;
    }

    struct Tag
    {
        QString name; // upper case, "/DL" for a closing tag
        QHash<QString, QString> attributes; // names in upper case
        qsizetype end = 0; // just after '>'
    };

    // The tag starting at `at` ('<'); attribute values may be quoted either way or not at all.
    Tag readTag(const QString &html, qsizetype at)
    {
        Tag tag;
        qsizetype i = at + 1;
        const qsizetype n = html.size();
        const auto isSpace = [](QChar c) { return c.isSpace(); };
        qsizetype start = i;
        while (i < n && !isSpace(html.at(i)) && html.at(i) != u'>')
            ++i;
        tag.name = html.mid(start, i - start).toUpper();
        while (i < n && html.at(i) != u'>') {
            while (i < n && isSpace(html.at(i)))
                ++i;
            start = i;
            while (i < n && !isSpace(html.at(i)) && html.at(i) != u'=' && html.at(i) != u'>')
                ++i;
            const QString attribute = html.mid(start, i - start).toUpper();
            QString value;
            if (i < n && html.at(i) == u'=') {
                ++i;
                if (i < n && (html.at(i) == u'"' || html.at(i) == u'\'')) {
                    const QChar quote = html.at(i++);
                    start = i;
                    while (i < n && html.at(i) != quote)
                        ++i;
                    value = html.mid(start, i - start);
                    if (i < n)
                        ++i;
                } else {
                    start = i;
                    while (i < n && !isSpace(html.at(i)) && html.at(i) != u'>')
                        ++i;
                    value = html.mid(start, i - start);
                }
            }
            if (!attribute.isEmpty())
                tag.attributes.insert(attribute, decodeEntities(value));
            else if (i < n && html.at(i) != u'>')
                ++i; // a stray character: step over it
        }
        tag.end = i < n ? i + 1 : n;
        return tag;
    }

    QString textUntilTag(const QString &html, qsizetype from, qsizetype *next)
    {
        qsizetype end = html.indexOf(u'<', from);
        if (end < 0)
            end = html.size();
        *next = end;
        return decodeEntities(QStringView(html).mid(from, end - from)).trimmed();
    }

    QString escapeHtml(const QString &text)
    {
        return text.toHtmlEscaped();
    }

    // Chromium reads bookmarks.html line by line and drops an entry whose name runs onto a second
    // line, so names go out on one line, control characters as spaces, as Chromium shows them.
    QString oneLineName(QString name)
    {
        for (QChar &c : name) {
            if (isControl(c))
                c = u' ';
        }
        return name;
    }

    // Tabs and line breaks mean nothing in an address (URL parsers drop them) but would break the line.
    QString oneLineAddress(QString address)
    {
        address.removeIf([](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r'; });
        return address;
    }

    // A name the favorites folder takes: the file name stays within the file system's limit.
    QString boundedName(const QString &name)
    {
        QString out = name;
        while (out.toUtf8().size() > maxNameBytes)
            out.chop(out.size() > 1 && out.at(out.size() - 1).isLowSurrogate() ? 2 : 1);
        return out.trimmed();
    }

} // namespace

Format detect(const QByteArray &head)
{
    if (head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return Format::Firefox;
    QByteArray text = head;
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.mid(3);
    text = text.trimmed();
    if (text.startsWith('{'))
        return Format::Chromium;
    if (text.left(1024).toUpper().contains("<!DOCTYPE NETSCAPE-BOOKMARK-FILE-1>"))
        return Format::Netscape;
    return Format::Unknown;
}

ReadResult readChromium(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    const QJsonObject roots = document.object().value(u"roots"_s).toObject();
    if (error.error != QJsonParseError::NoError || roots.isEmpty())
        throw Failure(wrongKind(u" Chromium/Chrome 的书签文件"_s));
    Collector out;
    // The bar and the other folders are where, not what: they stay out of the names.
    for (const QString &root : { u"bookmark_bar"_s, u"other"_s, u"synced"_s }) {
        const QJsonArray children = roots.value(root).toObject().value(u"children"_s).toArray();
        QStringList folders;
        for (const QJsonValue &child : children)
            walkChromium(child.toObject(), folders, 1, out);
    }
    return out.result;
}

ReadResult readNetscape(const QByteArray &bytes)
{
    if (detect(bytes.left(4096)) != Format::Netscape)
        throw Failure(wrongKind(u" bookmarks.html 书签文件"_s));
    const QString html = QString::fromUtf8(bytes);
    Collector out;
    QStringList folders;
    QString pendingFolder;
    bool pending = false;
    int depth = 0;
    qsizetype i = html.indexOf(u'<');
    while (i >= 0 && i < html.size() && !out.full()) {
        const Tag tag = readTag(html, i);
        qsizetype next = tag.end;
        if (tag.name == u"H3"_s) {
            pendingFolder = textUntilTag(html, tag.end, &next);
            // The browser's own bar and "other" folders are where, not what.
            if (tag.attributes.contains(u"PERSONAL_TOOLBAR_FOLDER"_s)
                || tag.attributes.contains(u"UNFILED_FOLDER"_s))
                pendingFolder.clear();
            pending = true;
        } else if (tag.name == u"DL"_s) {
            ++depth;
            if (depth <= maxDepth)
                folders.append(pending ? pendingFolder : QString());
            pending = false;
        } else if (tag.name == u"/DL"_s) {
            if (depth > 0) {
                if (depth <= maxDepth)
                    folders.removeLast();
                --depth;
            }
        } else if (tag.name == u"A"_s) {
            const QString title = textUntilTag(html, tag.end, &next);
            if (depth > maxDepth)
                out.skip();
            else
                out.add(folders, title, tag.attributes.value(u"HREF"_s), tag.attributes.contains(kHomeMark));
        }
        i = html.indexOf(u'<', next);
    }
    return out.result;
}

ReadResult readFirefox(const QString &placesPath)
{
    // Firefox keeps the file locked and its latest changes in the journal: copy both.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw Failure(u"无法创建临时文件夹来读取 %1。"_s.arg(placesPath));
    const QString copy = scratch.filePath(u"places.sqlite"_s);
    if (!QFile::copy(placesPath, copy))
        throw Failure(u"无法读取 %1。"_s.arg(placesPath));
    if (QFileInfo::exists(placesPath + u"-wal"_s))
        QFile::copy(placesPath + u"-wal"_s, copy + u"-wal"_s);

    static QAtomicInt counter;
    const QString connection = u"kovalis-places-%1"_s.arg(counter.fetchAndAddRelaxed(1));
    ReadResult result;
    bool wrong = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(copy);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (!db.open()) {
            wrong = true;
        } else {
            struct Node
            {
                int type = 0;
                qint64 parent = 0;
                QString title;
                QString url;
                QString guid;
                QList<qint64> children;
            };
            QHash<qint64, Node> nodes;
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.exec(u"SELECT b.id, b.type, b.parent, b.title, p.url, b.guid FROM moz_bookmarks b "
                        "LEFT JOIN moz_places p ON b.fk = p.id ORDER BY b.parent, b.position"_s)) {
                wrong = true;
            } else {
                QList<qint64> order;
                while (q.next() && nodes.size() <= 4 * maxEntries) {
                    const qint64 id = q.value(0).toLongLong();
                    nodes.insert(id,
                        { q.value(1).toInt(), q.value(2).toLongLong(), q.value(3).toString(),
                            q.value(4).toString(), q.value(5).toString(), {} });
                    order.append(id);
                }
                for (const qint64 id : order) {
                    const qint64 parent = nodes.value(id).parent;
                    if (parent != id && nodes.contains(parent))
                        nodes[parent].children.append(id);
                }
                Collector out;
                QStringList folders;
                // Depth-first from the root's folders, tags left out (they repeat bookmarks).
                std::function<void(qint64, int)> walk = [&](qint64 id, int depth) {
                    const Node node = nodes.value(id);
                    if (out.full())
                        return;
                    if (node.type == 1) {
                        out.add(folders, node.title, node.url);
                    } else if (node.type == 2) {
                        if (depth >= maxDepth) {
                            out.skip();
                            return;
                        }
                        folders.append(node.title);
                        for (const qint64 child : node.children)
                            walk(child, depth + 1);
                        folders.removeLast();
                    }
                };
                const auto rootOf = [&nodes]() -> qint64 {
                    for (auto it = nodes.cbegin(); it != nodes.cend(); ++it) {
                        if (it.value().guid == u"root________"_s)
                            return it.key();
                    }
                    return 1;
                };
                const qint64 root = rootOf();
                for (const qint64 top : nodes.value(root).children) {
                    const Node folder = nodes.value(top);
                    if (folder.guid == u"tags________"_s || folder.type != 2)
                        continue;
                    for (const qint64 child : folder.children)
                        walk(child, 1);
                }
                result = out.result;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (wrong)
        throw Failure(wrongKind(u" Firefox 的书签数据库（places.sqlite）"_s));
    return result;
}

ReadResult readFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw Failure(u"找不到书签文件 %1。"_s.arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(u"无法读取书签文件 %1：%2"_s.arg(path, file.errorString()));
    const Format format = detect(file.read(4096));
    if (format == Format::Firefox) {
        if (info.size() > maxPlacesFileSize)
            throw Failure(u"书签文件 %1 太大，没有导入任何书签。"_s.arg(path));
        file.close();
        return readFirefox(path);
    }
    if (format == Format::Unknown)
        throw Failure(unknownKind(path));
    if (info.size() > maxTextFileSize)
        throw Failure(u"书签文件 %1 太大，没有导入任何书签。"_s.arg(path));
    file.seek(0);
    const QByteArray bytes = file.readAll();
    return format == Format::Chromium ? readChromium(bytes) : readNetscape(bytes);
}

QString Report::text() const
{
    return u"导入了 %1 个书签，跳过了 %2 个。"_s.arg(added).arg(skipped);
}

Report addToFavorites(const ReadResult &read, const FavoritesStore &store)
{
    Report report;
    report.skipped = read.skipped;
    store.ensureFolder();
    const QString homeBase = QFileInfo(FavoritesStore::homeFileName()).completeBaseName();
    for (const Bookmark &b : read.bookmarks) {
        QString name = boundedName(b.name);
        // Only our own exported homepage may become the homepage, and never over the present one.
        if (!b.home && name.compare(homeBase, Qt::CaseInsensitive) == 0)
            name += u" (书签)"_s;
        try {
            if (!b.home || !store.addHomepageIfNone(b.address))
                store.addFavorite(name, b.address);
            ++report.added;
        } catch (const std::exception &) {
            ++report.skipped;
        }
    }
    return report;
}

Report importFile(const QString &path, const FavoritesStore &store)
{
    return addToFavorites(readFile(path), store);
}

QByteArray composeHtml(const QList<Bookmark> &bookmarks)
{
    // The layout browsers themselves write, so every browser reads it back.
    QString html = u"<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                   "<!-- This is an automatically generated file.\n"
                   "     It will be read and overwritten.\n"
                   "     DO NOT EDIT! -->\n"
                   "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                   "<TITLE>Bookmarks</TITLE>\n"
                   "<H1>Bookmarks</H1>\n"
                   "<DL><p>\n"_s;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const Bookmark &b : bookmarks) {
        // Browsers show this as the day the bookmark was added, so it must not be the day of export.
        const qint64 added = b.added > 0 ? b.added : now;
        html += u"    <DT><A HREF=\""_s + escapeHtml(oneLineAddress(b.address)) + u"\" ADD_DATE=\""_s
            + QString::number(added) + u'"';
        if (b.home)
            html += u' ' + kHomeMark + u"=\"true\""_s;
        html += u'>' + escapeHtml(oneLineName(b.name)) + u"</A>\n"_s;
    }
    html += u"</DL><p>\n"_s;
    return html.toUtf8();
}

QList<Bookmark> favorites(const FavoritesStore &store)
{
    QList<Bookmark> out;
    const QString folder = store.folderPath();
    const QString home = store.homeAtStartup();
    for (const QString &name : FavoritesStore::listFiles(folder)) {
        if (!name.endsWith(u".link"_s, Qt::CaseInsensitive))
            continue;
        const QString path = folder + u'/' + name;
        try {
            const LinkFile::ReadResult link = LinkFile::read(path);
            if (link.formatError || link.address.isEmpty())
                continue;
            // A link file is written when the favorite is added (a rename keeps its time).
            const QFileInfo info(path);
            out.append({ info.completeBaseName(), link.address, path == home,
                info.lastModified().toSecsSinceEpoch() });
        } catch (const std::exception &) {
            // An unreadable file stays behind; the rest go out.
        }
    }
    return out;
}

int exportFile(const QString &path, const FavoritesStore &store)
{
    const QList<Bookmark> list = favorites(store);
    QString error;
    if (!SafeFile::write(path, composeHtml(list), &error))
        throw Failure(u"无法写入书签文件 %1：%2"_s.arg(path, error));
    return int(list.size());
}

} // namespace Bookmarks
