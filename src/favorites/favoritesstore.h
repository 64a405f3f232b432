#pragma once

#include <QString>
#include <QStringList>

// The favorites folder "likepage" under the data folder: one link file per favorite,
// the homepage file among them. Names in the folder are compared without regard to letter
// case, as on the desktops the folder layout comes from. Every failing step throws Failure.
class FavoritesStore final
{
public:
    explicit FavoritesStore(const QString &dataFolder);

    QString dataFolder() const { return m_dataFolder; }
    QString folderPath() const;
    void ensureFolder() const;

    // The path of the homepage file when there is one, else "about:blank".
    QString homeAtStartup() const;
    // Where the homepage file named by `home` is now (set as homepage may have written it
    // under another letter case); `home` itself when it is "about:blank" or no file is left.
    QString currentHomeFile(const QString &home) const;

    // Returns the path of the new link file; never overwrites, never makes the homepage file.
    QString addFavorite(const QString &caption, const QString &address) const;
    // Writes the homepage file when there is none; false, and nothing written, when there is.
    bool addHomepageIfNone(const QString &address) const;
    // An empty answer leaves the file as it is and returns an empty string; otherwise
    // returns the new path.
    QString renameFavorite(const QString &selFile, const QString &listedFolder, const QString &answer) const;
    void deleteFavorite(const QString &selFile) const;
    void setAsHomepage(const QString &selFile, const QString &listedFolder) const;

    static QString cleanName(QString name);
    static QString homeFileName(); // as the favorites window writes it
    // Normal, visible files of a folder, sorted by name.
    static QStringList listFiles(const QString &folder);

    enum class Entries {
        Listed, // normal files the favorites window shows
        Any, // anything that occupies the name: files, hidden files, folders, links
    };
    // The real name of an entry whose name equals `name` without regard to letter case,
    // or an empty string.
    static QString findByName(const QString &folder, const QString &name, Entries which);

private:
    QString m_dataFolder;
};
