#include "linkfile.h"

#include "failure.h"
#include "safefile.h"
#include "textcodec.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace LinkFile {

namespace {

    constexpr char kCr = '\r';
    constexpr char kLf = '\n';
    constexpr qint64 kChunk = 64 * 1024;
    // The longest address the engine takes is 2 MB; a second line past that is no address.
    constexpr qint64 kMaxHead = 2 * 1024 * 1024 + 64;

    // Reads no more than the two lines need, so a large file that happens to carry the
    // extension is not read whole. Only regular files are read: a pipe or a device under the
    // name would block the window or never end.
    QByteArray readHead(const QString &path)
    {
        QFile file;
        QString error;
        if (!SafeFile::openRegular(file, path, &error))
            throw Failure(error);
        // Stops once line 2 has ended, or once line 1 is already too long to be the header.
        const qsizetype headerSize = header().size();
        QByteArray bytes;
        qsizetype crs = 0;
        while (crs < 2 && (crs > 0 || bytes.size() <= headerSize)) {
            if (bytes.size() > kMaxHead)
                throw Failure(u"链接文件 %1 里的地址太长（超过 2 MB），没有打开。"_s.arg(path));
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
