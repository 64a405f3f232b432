#include "favoritesstore.h"

#include "blankpage.h"
#include "failure.h"
#include "linkfile.h"
#include "safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kExtension = u".link"_s;
const QString kHomeBase = u"主页"_s;

// Longest file name the file system takes, counted in its own encoding.
#ifdef Q_OS_WIN
constexpr qsizetype kNameMax = 255; // UTF-16 units
qsizetype nameLength(const QString &name)
{
    return name.size();
}
#else
constexpr qsizetype kNameMax = 255; // bytes
qsizetype nameLength(const QString &name)
{
    return QFile::encodeName(name).size();
}
#endif

bool nameOrder(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

QStringList entriesOf(const QString &folder, FavoritesStore::Entries which)
{
    QDir::Filters filters = QDir::Files;
    if (which == FavoritesStore::Entries::Any)
        filters |= QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QStringList names = QDir(folder).entryList(filters, QDir::Unsorted);
    std::sort(names.begin(), names.end(), nameOrder);
    return names;
}

// Files the program made itself but a dot in front hides on Unix (an empty caption gives
// ".link"): the window still lists them.
bool hiddenLinkFile(const QFileInfo &info)
{
    return info.isFile() && info.fileName().startsWith(u'.')
        && info.fileName().endsWith(kExtension, Qt::CaseInsensitive);
}

QString matchName(const QStringList &names, const QString &name)
{
    for (const QString &candidate : names) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return QString();
}

// Puts "#" in front while the name is taken; the folder is read once.
QString uniqueName(const QString &folder, QString name)
{
    const QStringList taken = entriesOf(folder, FavoritesStore::Entries::Any);
    while (!matchName(taken, name).isEmpty())
        name.prepend(u'#');
    return name;
}

void checkName(const QString &name)
{
    if (nameLength(name) > kNameMax)
        throw Failure(u"名称太长，文件系统不接受：%1"_s.arg(name));
    if (name.contains(QChar(u'\0')))
        throw Failure(u"名称中含有不能用于文件名的字符：%1"_s.arg(name));
}

bool sameFile(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

} // namespace

FavoritesStore::FavoritesStore(const QString &dataFolder)
    : m_dataFolder(dataFolder)
{
}

QString FavoritesStore::folderPath() const
{
    return m_dataFolder + u"/likepage"_s;
}

void FavoritesStore::ensureFolder() const
{
    const QString path = folderPath();
    if (QFileInfo(path).isDir())
        return;
    if (!QDir().mkdir(path))
        throw Failure(u"无法创建收藏夹文件夹 %1。"_s.arg(path));
}

QString FavoritesStore::homeFileName()
{
    return kHomeBase + u".LINK"_s;
}

QString FavoritesStore::homeAtStartup() const
{
    const QString name = findByName(folderPath(), kHomeBase + kExtension, Entries::Listed);
    return name.isEmpty() ? BlankPage::address() : folderPath() + u'/' + name;
}

QString FavoritesStore::currentHomeFile(const QString &home) const
{
    if (BlankPage::is(home) || QFileInfo(home).isFile())
        return home;
    const QFileInfo info(home);
    const QString name = findByName(info.path(), info.fileName(), Entries::Listed);
    return name.isEmpty() ? home : info.path() + u'/' + name;
}

QString FavoritesStore::cleanName(QString name)
{
    static const QChar replaced[] = { u'/', u'\\', u':', u'|', u'*', u'?', u'<', u'>', u'"' };
    for (const QChar c : replaced)
        name.replace(c, u'-');
    return name;
}

QStringList FavoritesStore::listFiles(const QString &folder)
{
    QStringList names;
    const QFileInfoList infos = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Unsorted);
    for (const QFileInfo &info : infos) {
        if (!info.isHidden() || hiddenLinkFile(info))
            names.append(info.fileName());
    }
    std::sort(names.begin(), names.end(), nameOrder);
    return names;
}

QString FavoritesStore::findByName(const QString &folder, const QString &name, Entries which)
{
    return matchName(entriesOf(folder, which), name);
}

QString FavoritesStore::addFavorite(const QString &caption, const QString &address) const
{
    ensureFolder();
    const QString folder = folderPath();
    QString name = cleanName(caption) + kExtension;
    // The homepage file's name is not free for a page title: a page titled "主页" would
    // otherwise become the homepage at the next start.
    if (name.compare(kHomeBase + kExtension, Qt::CaseInsensitive) == 0)
        name.prepend(u'#');
    name = uniqueName(folder, name);
    checkName(name);
    const QString path = folder + u'/' + name;
    LinkFile::write(path, address);
    return path;
}

bool FavoritesStore::addHomepageIfNone(const QString &address) const
{
    ensureFolder();
    const QString folder = folderPath();
    if (!findByName(folder, homeFileName(), Entries::Any).isEmpty())
        return false;
    LinkFile::write(folder + u'/' + homeFileName(), address);
    return true;
}

QString FavoritesStore::renameFavorite(
    const QString &selFile, const QString &listedFolder, const QString &answer) const
{
    if (answer.isEmpty())
        return QString();
    const QString name = uniqueName(listedFolder, cleanName(answer));
    checkName(name);
    const QString target = listedFolder + u'/' + name;
    QFile file(selFile);
    if (!file.rename(target))
        throw Failure(u"无法把 %1 改名为 %2：%3"_s.arg(selFile, name, file.errorString()));
    return target;
}

void FavoritesStore::deleteFavorite(const QString &selFile) const
{
    QFile file(selFile);
    if (!QFileInfo(selFile).isFile() || !file.remove())
        throw Failure(u"无法删除文件 %1。"_s.arg(selFile));
}

void FavoritesStore::setAsHomepage(const QString &selFile, const QString &listedFolder) const
{
    const QString target = listedFolder + u'/' + homeFileName();
    // Every file that stands for the homepage, whatever its letter case.
    QStringList old;
    for (const QString &name : entriesOf(listedFolder, Entries::Any)) {
        const QString path = listedFolder + u'/' + name;
        if (name.compare(homeFileName(), Qt::CaseInsensitive) == 0 && !QFileInfo(path).isDir())
            old.append(path);
    }
    if (old.size() == 1 && sameFile(old.first(), selFile))
        return; // already the homepage: copying it onto itself would destroy it

    if (!QFileInfo(selFile).isFile())
        throw Failure(u"找不到文件 %1。"_s.arg(selFile));
    QByteArray bytes;
    QString error;
    if (!SafeFile::read(selFile, &bytes, &error))
        throw Failure(error);
    // The new file takes the place of the old one in one step, so a failed copy leaves
    // the old homepage as it was.
    if (!SafeFile::write(target, bytes, &error))
        throw Failure(error);
    for (const QString &path : std::as_const(old)) {
        if (QFileInfo(path).fileName() == homeFileName())
            continue;
        if (!QFile::remove(path))
            throw Failure(u"无法删除旧的主页文件 %1。"_s.arg(path));
    }
}
