#include "failure.h"
#include "fuzzcheck.h"
#include "searchenginefile.h"
#include "textcodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

// The first input byte chooses: parse the bytes as a whole file, or append an engine made from
// them and read the file back.
namespace {

QString programFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

void parseFile(const QByteArray &bytes)
{
    const QList<Engine> engines = SearchEngineFile::parse(TextCodec::decode(bytes));
    for (const Engine &engine : engines) {
        for (const QString &text : { engine.name, engine.searchString }) {
            FUZZ_CHECK(!text.contains(QLatin1Char('\r')));
            FUZZ_CHECK(!text.contains(QLatin1Char('\n')));
        }
        FUZZ_CHECK(!engine.name.contains(SearchEngineFile::separator()));
    }
}

// name, a NUL byte, the search string.
void appendAndReadBack(const QByteArray &bytes)
{
    const qsizetype cut = bytes.indexOf('\0');
    const Engine engine { QString::fromUtf8(bytes.left(cut < 0 ? bytes.size() : cut)),
        cut < 0 ? QStringLiteral("x") : QString::fromUtf8(bytes.mid(cut + 1)) };
    const QString folder = programFolder();
    QFile::remove(SearchEngineFile::path(folder));
    try {
        SearchEngineFile::append(folder, engine);
    } catch (const Failure &) {
        return; // refused: a line break or the separator
    }
    const QList<Engine> back = SearchEngineFile::load(folder);
    FUZZ_CHECK(back.size() == 1);
    // GB18030 bytes that also form valid UTF-8 read as UTF-8: the codec's known ambiguity.
    QFile file(SearchEngineFile::path(folder));
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QString both = engine.name + engine.searchString;
    const bool ascii = std::all_of(both.cbegin(), both.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii && TextCodec::isValidUtf8(file.readAll()))
        return;
    FUZZ_CHECK(back.first().name == engine.name);
    FUZZ_CHECK(back.first().searchString == engine.searchString);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1)
        appendAndReadBack(bytes);
    else
        parseFile(bytes);
    return 0;
}
