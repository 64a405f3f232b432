#include "datafolder.h"

#include "failure.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace DataFolder {

bool isSystemFolder(const QString &folder)
{
    QFileInfo info(folder);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(info.absoluteFilePath());
#ifdef Q_OS_UNIX
    // The folders a package manager owns; /usr/local and /opt hold what an administrator put there,
    // equally out of a user's reach and never meant to be written by a program.
    static const char *const roots[] = { "/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32",
        "/etc", "/opt", "/boot", "/var/lib" };
    for (const char *root : roots) {
        const QString r = QString::fromLatin1(root);
        if (path == r || path.startsWith(r + QLatin1Char('/')))
            return true;
    }
    return false;
#else
    const QString programs = qEnvironmentVariable("ProgramFiles");
    const QString programs86 = qEnvironmentVariable("ProgramFiles(x86)");
    for (const QString &root : { programs, programs86 }) {
        const QString r = QDir::cleanPath(QDir::fromNativeSeparators(root));
        if (!r.isEmpty()
            && (path.compare(r, Qt::CaseInsensitive) == 0
                || path.startsWith(r + QLatin1Char('/'), Qt::CaseInsensitive)))
            return true;
    }
    return false;
#endif
}

bool isPortable(const QString &programFolder)
{
    const QDir folder(programFolder);
    const bool marked = QFileInfo(folder.filePath(QString::fromUtf16(markerName))).isFile()
        || QFileInfo(folder.filePath(QStringLiteral("搜索.txt"))).isFile()
        || QFileInfo(folder.filePath(QStringLiteral("likepage"))).isDir();
    return marked && !isSystemFolder(programFolder);
}

QString userFolder()
{
    // What QStandardPaths::AppDataLocation gives a program named Kovalis with no organisation, without
    // depending on the application object's names (the small program in front has none).
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kovalis");
}

QString choose(const QString &programFolder)
{
    return isPortable(programFolder) ? QDir::cleanPath(QFileInfo(programFolder).absoluteFilePath())
                                     : userFolder();
}

QString prepare(const QString &folder)
{
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !QDir().mkpath(folder)
        || !QFileInfo(folder).isDir())
        throw Failure(QStringLiteral("无法建立数据文件夹“%1”，Kovalis不能保存收藏和搜索引擎。")
                          .arg(QDir::toNativeSeparators(folder)));
    return QFileInfo(folder).canonicalFilePath();
}

} // namespace DataFolder
