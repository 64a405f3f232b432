#include "linkfile.h"

#include "failure.h"
#include "safefile.h"
#include "textcodec.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace LinkFile {

namespace {

    constexpr char kCr = '\r';
    constexpr char kLf = '\n';
    constexpr qint64 kChunk = 64 * 1024;

    // Reads no more than the two lines need, so a large file that happens to carry the
    // extension is not read whole.
    QByteArray readHead(const QString &path)
    {
        const QFileInfo info(path);
        if (!info.exists())
            throw Failure(u"找不到文件 %1。"_s.arg(path));
        if (info.isDir())
            throw Failure(u"%1 是文件夹，不是链接文件。"_s.arg(path));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure(u"无法打开文件 %1：%2"_s.arg(path, file.errorString()));
        // Stops once line 2 has ended, or once line 1 is already too long to be the header.
        const qsizetype headerSize = header().size();
        QByteArray bytes;
        qsizetype crs = 0;
        while (crs < 2 && (crs > 0 || bytes.size() <= headerSize)) {
            const QByteArray chunk = file.read(kChunk);
            if (file.error() != QFileDevice::NoError)
                throw Failure(u"无法读取文件 %1：%2"_s.arg(path, file.errorString()));
            if (chunk.isEmpty())
                break;
            bytes += chunk;
            crs += chunk.count(kCr);
        }
        return bytes;
    }

} // namespace

QString header()
{
    return u"[tarvo.link]"_s;
}

QString formatErrorMessage()
{
    return u"文件格式错误。"_s;
}

QByteArray compose(const QString &address)
{
    return TextCodec::encodeReadable(header() + u"\r\n"_s + address + u"\r\n"_s);
}

ReadResult read(const QString &path)
{
    const QByteArray bytes = readHead(path);
    if (bytes.isEmpty())
        throw Failure(u"链接文件 %1 是空的。"_s.arg(path));

    // CR and LF never occur inside a multi-byte character of UTF-8 or GB18030,
    // so the lines can be cut before decoding.
    const qsizetype firstEnd = bytes.indexOf(kCr);
    const QByteArray firstLine = firstEnd < 0 ? bytes : bytes.left(firstEnd);
    qsizetype secondStart = -1;
    if (firstEnd >= 0) {
        secondStart = firstEnd + 1;
        if (secondStart < bytes.size() && bytes.at(secondStart) == kLf)
            ++secondStart;
    }
    QByteArray secondLine;
    const bool hasSecond = secondStart >= 0 && secondStart < bytes.size();
    if (hasSecond) {
        const qsizetype secondEnd = bytes.indexOf(kCr, secondStart);
        secondLine = bytes.mid(secondStart, secondEnd < 0 ? -1 : secondEnd - secondStart);
    }

    // Both lines decide the encoding together; what follows them plays no part.
    const TextCodec::Encoding encoding = TextCodec::detect(firstLine + kCr + secondLine);

    ReadResult result;
    if (TextCodec::decode(firstLine, encoding) != header()) {
        result.formatError = true;
        return result;
    }
    if (!hasSecond)
        throw Failure(u"链接文件 %1 不完整：缺少地址行。"_s.arg(path));
    result.address = TextCodec::decode(secondLine, encoding);
    return result;
}

void write(const QString &path, const QString &address)
{
    QString error;
    if (!SafeFile::write(path, compose(address), &error))
        throw Failure(error);
}

} // namespace LinkFile
