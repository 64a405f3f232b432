#include "safefile.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace SafeFile {

namespace {
    bool fail(QString *error, const QString &text)
    {
        if (error)
            *error = text;
        return false;
    }

#ifdef Q_OS_UNIX
    QString notRegular(const QString &path, mode_t mode)
    {
        if (S_ISDIR(mode))
            return QStringLiteral("%1 是文件夹，不是文件。").arg(path);
        return QStringLiteral("%1 不是普通文件（是管道、设备或套接字），Kovalis不读它。").arg(path);
    }
#endif
} // namespace

bool write(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
    const qint64 written = file.write(data);
    if (written != data.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error, QStringLiteral("无法写入文件 %1：%2").arg(path, reason));
    }
    if (!file.commit())
        return fail(error, QStringLiteral("无法保存文件 %1：%2").arg(path, file.errorString()));
    return true;
}

bool read(const QString &path, QByteArray *data, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("无法打开文件 %1：%2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(error, QStringLiteral("无法读取文件 %1：%2").arg(path, file.errorString()));
    *data = std::move(bytes);
    return true;
}

bool openRegular(QFile &file, const QString &path, QString *error)
{
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    // Looked at first so that a device is never opened at all; checked again on the open
    // descriptor, since the name may be replaced in between.
    struct stat st;
    if (::stat(native.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return fail(error, QStringLiteral("找不到文件 %1。").arg(path));
        return fail(error,
            QStringLiteral("无法打开文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!S_ISREG(st.st_mode))
        return fail(error, notRegular(path, st.st_mode));
    // Without O_NONBLOCK, opening a pipe waits until some other process opens it for writing.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(error,
            QStringLiteral("无法打开文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const QString why = notRegular(path, st.st_mode);
        ::close(fd);
        return fail(error, why);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(error, QStringLiteral("无法打开文件 %1：%2").arg(path, file.errorString()));
    }
    return true;
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("无法打开文件 %1：%2").arg(path, file.errorString()));
    return true;
#endif
}

bool readRegular(const QString &path, qint64 maxBytes, QByteArray *data, QString *error)
{
    QFile file;
    if (!openRegular(file, path, error))
        return false;
    // One byte more than allowed tells a file that is too large from one that just fits.
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(error, QStringLiteral("无法读取文件 %1：%2").arg(path, file.errorString()));
    if (bytes.size() > maxBytes)
        return fail(error,
            QStringLiteral("文件 %1 太大（超过 %2），Kovalis不读它。")
                .arg(path, QLocale::c().formattedDataSize(maxBytes, 0, QLocale::DataSizeTraditionalFormat)));
    *data = std::move(bytes);
    return true;
}

} // namespace SafeFile
