#include "safefile.h"

#include <QFile>
#include <QSaveFile>

namespace SafeFile {

namespace {
    bool fail(QString *error, const QString &text)
    {
        if (error)
            *error = text;
        return false;
    }
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

} // namespace SafeFile
