#include "handofffolder.h"

#include "failure.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace HandoffFolder {

namespace {

#ifdef Q_OS_UNIX
    // Room left in a socket path for the socket's own name ("Kovalis-MDIForm1-" and 16 hex digits)
    // and the lock file's.
    constexpr qsizetype kLongestName = 40;

    QString errnoText()
    {
        return QString::fromLocal8Bit(std::strerror(errno));
    }

    // The runtime folder the session gives us, when it really is ours alone.
    QString usableRuntimeFolder()
    {
        const QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
        struct stat st;
        if (base.isEmpty() || !QDir::isAbsolutePath(base)
            || ::stat(QFile::encodeName(base).constData(), &st) != 0)
            return QString();
        if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
            return QString();
        return base;
    }

    // The user's cache folder, made when missing; empty when the user has no home to keep it in.
    QString cacheFolder()
    {
        QString base = qEnvironmentVariable("XDG_CACHE_HOME");
        if (!QDir::isAbsolutePath(base)) {
            QString home = qEnvironmentVariable("HOME");
            if (!QDir::isAbsolutePath(home)) {
                const passwd *user = ::getpwuid(::getuid());
                home = user ? QFile::decodeName(user->pw_dir) : QString();
            }
            if (!QDir::isAbsolutePath(home) || QDir::cleanPath(home) == QStringLiteral("/"))
                return QString();
            base = home + QStringLiteral("/.cache");
        }
        if (!QDir().mkpath(base))
            return QString();
        return QDir::cleanPath(base);
    }

    // Makes the folder (mode 0700) or takes the one there when it is a real folder of ours that
    // nobody else may enter, inside a parent that nobody else can rename it out of. Never follows
    // a link: one planted in a shared folder must not lead us elsewhere. Empty when usable, else why not.
    QString makePrivate(const QString &folder)
    {
        const QByteArray path = QFile::encodeName(folder);
        if (path.size() + 1 + kLongestName >= qsizetype(sizeof(sockaddr_un::sun_path)))
            return QStringLiteral("“%1”的路径太长，放不下通信用的套接字").arg(folder);
        const QByteArray parent = QFile::encodeName(QFileInfo(folder).absolutePath());
        struct stat st;
        if (::stat(parent.constData(), &st) != 0)
            return QStringLiteral("“%1”：%2").arg(QFile::decodeName(parent), errnoText());
        if ((st.st_uid != ::getuid() && st.st_uid != 0)
            || ((st.st_mode & 022) != 0 && (st.st_mode & S_ISVTX) == 0))
            return QStringLiteral("其他用户可以改动“%1”").arg(QFile::decodeName(parent));
        if (::mkdir(path.constData(), 0700) == 0)
            ::chmod(path.constData(), 0700); // the umask may have taken bits we need
        else if (errno != EEXIST)
            return QStringLiteral("无法建立文件夹“%1”：%2").arg(folder, errnoText());
        if (::lstat(path.constData(), &st) != 0)
            return QStringLiteral("“%1”：%2").arg(folder, errnoText());
        if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 0777) != 0700)
            return QStringLiteral("“%1”不是当前用户独有的文件夹").arg(folder);
        return QString();
    }
#endif

    QString folderKey(const QString &programFolder)
    {
        const QFileInfo info(programFolder);
        QString key = info.canonicalFilePath();
        if (key.isEmpty())
            key = QDir::cleanPath(info.absoluteFilePath());
#ifdef Q_OS_WIN
        // Pipe names are shared by every user of the machine.
        key = qEnvironmentVariable("USERNAME") + QLatin1Char('|') + key.toLower();
#endif
        const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
        return QString::fromLatin1(hash.left(16));
    }

} // namespace

QString privateFolder()
{
#ifdef Q_OS_UNIX
    // Each place in turn; what another user can make or plant in a shared folder only ever
    // moves us on to the next.
    QStringList candidates;
    const QString runtime = usableRuntimeFolder();
    if (!runtime.isEmpty())
        candidates.append(runtime + QStringLiteral("/kovalis"));
    const QString cache = cacheFolder();
    if (!cache.isEmpty())
        candidates.append(cache + QStringLiteral("/kovalis"));
    candidates.append(QDir::tempPath() + QStringLiteral("/kovalis-") + QString::number(::getuid()));
    QStringList reasons;
    for (const QString &folder : std::as_const(candidates)) {
        const QString reason = makePrivate(folder);
        if (reason.isEmpty())
            return folder;
        reasons.append(reason);
    }
    throw Failure(QStringLiteral("Kovalis找不到只属于当前用户的文件夹来和已经打开的Kovalis通信：%1。")
                      .arg(reasons.join(QStringLiteral("；"))));
#else
    const QString folder = QDir::tempPath() + QStringLiteral("/kovalis");
    if (!QDir().mkpath(folder))
        throw Failure(QStringLiteral("无法建立文件夹“%1”。").arg(QDir::toNativeSeparators(folder)));
    return folder;
#endif
}

QString serverName(const QString &programFolder)
{
    const QString name = QStringLiteral("Kovalis-MDIForm1-") + folderKey(programFolder);
#ifdef Q_OS_UNIX
    // The private folder leaves room for this name in a socket path.
    return privateFolder() + QLatin1Char('/') + name;
#else
    return name;
#endif
}

QString lockPath(const QString &programFolder)
{
    return privateFolder() + QStringLiteral("/Kovalis-") + folderKey(programFolder) + QStringLiteral(".lock");
}

} // namespace HandoffFolder
