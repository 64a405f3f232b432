#include "fuzzcheck.h"
#include "lines.h"
#include "textcodec.h"

#include <QByteArray>

// Any bytes decode; the lines never hold a line end; GB18030 text survives its own round trip.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = TextCodec::decode(bytes);
    if (TextCodec::isValidUtf8(bytes))
        FUZZ_CHECK(text == QString::fromUtf8(bytes));

    for (const auto ends : { Lines::Ends::CrOrCrLf, Lines::Ends::CrCrLfOrLf }) {
        const QStringList lines = Lines::split(text, ends);
        for (const QString &line : lines) {
            FUZZ_CHECK(!line.contains(QLatin1Char('\r')));
            if (ends == Lines::Ends::CrCrLfOrLf)
                FUZZ_CHECK(!line.contains(QLatin1Char('\n')));
        }
        // Joined again with the line end the first kind recognises, the lines split the same way.
        if (ends == Lines::Ends::CrOrCrLf)
            FUZZ_CHECK(
                Lines::split(lines.join(QLatin1String("\r\n")), ends) == lines || lines.contains(QString()));
    }

    // What was decoded (valid Unicode, or U+FFFD for bad bytes) comes back from GB18030.
    const QByteArray encoded = TextCodec::encode(text);
    FUZZ_CHECK(TextCodec::decode(encoded, TextCodec::Encoding::Gb18030) == text);
    return 0;
}
