#include "handofffolder.h"

#include "failure.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace HandoffFolder {

namespace {

#ifdef Q_OS_UNIX
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

    void makePrivate(const QString &folder)
    {
        const QByteArray path = QFile::encodeName(folder);
        if (::mkdir(path.constData(), 0700) == 0) {
            ::chmod(path.constData(), 0700); // the umask may have taken bits we need
        } else if (errno != EEXIST) {
            throw Failure(QStringLiteral("无法建立文件夹“%1”：%2")
                              .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
        }
        // Not following links: a link planted in a shared temp folder must not lead us elsewhere.
        struct stat st;
        if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()
            || (st.st_mode & 0777) != 0700) {
            throw Failure(QStringLiteral("文件夹“%1”不是当前用户独有的文件夹（或者其他用户也能进入它），"
                                         "Kovalis不能用它和已经打开的Kovalis通信。")
                              .arg(folder));
        }
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
    const QString runtime = usableRuntimeFolder();
    const QString folder = runtime.isEmpty()
        ? QString(QDir::tempPath() + QStringLiteral("/kovalis-") + QString::number(::getuid()))
        : QString(runtime + QStringLiteral("/kovalis"));
    makePrivate(folder);
    return folder;
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
    const QString path = privateFolder() + QLatin1Char('/') + name;
    if (QFile::encodeName(path).size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
        throw Failure(QStringLiteral("临时文件夹的路径太长，Kovalis不能在“%1”里和已经打开的Kovalis通信。")
                          .arg(privateFolder()));
    return path;
#else
    return name;
#endif
}

QString lockPath(const QString &programFolder)
{
    return privateFolder() + QStringLiteral("/Kovalis-") + folderKey(programFolder) + QStringLiteral(".lock");
}

} // namespace HandoffFolder
