#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace TextCodec {

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

Encoding detect(const QByteArray &bytes)
{
    return isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Gb18030;
}

QString decode(const QByteArray &bytes, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return QString::fromUtf8(bytes);
    QStringDecoder decoder("GB18030");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QString decode(const QByteArray &bytes)
{
    return decode(bytes, detect(bytes));
}

QByteArray encode(const QString &text, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return text.toUtf8();
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid())
        return text.toUtf8();
    return encoder.encode(text);
}

QByteArray encodeReadable(const QString &text)
{
    const QByteArray gb = encode(text, Encoding::Gb18030);
    return decode(gb) == text ? gb : text.toUtf8();
}

} // namespace TextCodec
