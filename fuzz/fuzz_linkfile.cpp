#include "failure.h"
#include "fuzzcheck.h"
#include "linkfile.h"
#include "textcodec.h"

#include <QFile>
#include <QTemporaryDir>

// LinkFile::read reads from a path, so each input goes through one file in a private folder.
namespace {

QString scratchFile()
{
    static QTemporaryDir folder;
    return folder.path() + QStringLiteral("/fuzz.link");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = scratchFile();
    writeBytes(path, bytes);
    try {
        const LinkFile::ReadResult result = LinkFile::read(path);
        if (!result.formatError)
            FUZZ_CHECK(!result.address.contains(QLatin1Char('\r')));
    } catch (const Failure &failure) {
        FUZZ_CHECK(!failure.description().isEmpty());
    }

    // An address without CR comes back from the file the program writes itself.
    const QString address = QString::fromUtf8(bytes);
    if (!address.contains(QLatin1Char('\r'))) {
        LinkFile::write(path, address);
        const LinkFile::ReadResult back = LinkFile::read(path);
        FUZZ_CHECK(!back.formatError);
        // GB18030 bytes that also form valid UTF-8 read as UTF-8: the codec's known ambiguity.
        FUZZ_CHECK(back.address == address || TextCodec::isValidUtf8(LinkFile::compose(address)));
    }
    return 0;
}
