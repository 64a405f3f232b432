#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class FavoritesStore;

// Bookmarks in and out: another browser's bookmarks become link files in the favorites
// folder, and the favorites go out as the bookmarks.html every browser imports. Every
// reader is bounded, since the files come from outside; a file of the wrong kind throws
// Failure with the user's message before anything is written.
namespace Bookmarks {

constexpr qint64 maxTextFileSize = 32LL * 1024 * 1024;
constexpr qint64 maxPlacesFileSize = 1024LL * 1024 * 1024;
constexpr int maxEntries = 100'000;
constexpr int maxNameBytes = 200; // of the file name before ".link", in UTF-8
constexpr int maxDepth = 32;
constexpr int maxAddressLength = 8192;

struct Bookmark
{
    QString name; // folders flattened in front: "工作 - 邮箱"
    QString address;
    bool home = false;
    qint64 added = 0; // seconds since 1970, 0 when not known
};

struct ReadResult
{
    QList<Bookmark> bookmarks;
    int skipped = 0; // entries that can never be a favorite: scripts, empty or huge addresses
};

enum class Format { Unknown, Chromium, Firefox, Netscape };

Format detect(const QByteArray &head);

ReadResult readChromium(const QByteArray &json);
ReadResult readNetscape(const QByteArray &html);
// Works on a copy of the file (and its journal), so a running Firefox is left alone.
ReadResult readFirefox(const QString &placesPath);
// Any of the three, told apart by content.
ReadResult readFile(const QString &path);

struct Report
{
    int added = 0;
    int skipped = 0;
    QString text() const;
};

// Writes each bookmark as a new link file; nothing is overwritten.
Report addToFavorites(const ReadResult &read, const FavoritesStore &store);
Report importFile(const QString &path, const FavoritesStore &store);

QByteArray composeHtml(const QList<Bookmark> &bookmarks);
// The favorites folder as bookmarks; the homepage file is marked.
QList<Bookmark> favorites(const FavoritesStore &store);
// Writes the whole file or nothing; returns how many went out.
int exportFile(const QString &path, const FavoritesStore &store);

} // namespace Bookmarks
