#pragma once

#include <QByteArray>
#include <QString>

// Data files are read as UTF-8 when their bytes are valid UTF-8, else as GB18030 (a superset
// of GBK, so files written by older versions read right); they are written as GB18030.
namespace TextCodec {

enum class Encoding { Utf8, Gb18030 };

bool isValidUtf8(const QByteArray &bytes);
Encoding detect(const QByteArray &bytes);
QString decode(const QByteArray &bytes);
QString decode(const QByteArray &bytes, Encoding encoding);
QByteArray encode(const QString &text, Encoding encoding = Encoding::Gb18030);
// GB18030, unless those bytes would also be valid UTF-8 and so read back as other text
// (a few short Chinese texts do): then UTF-8, which always reads back as written.
QByteArray encodeReadable(const QString &text);

} // namespace TextCodec
