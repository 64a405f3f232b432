#include "failure.h"
#include "favoritesstore.h"
#include "fuzzcheck.h"
#include "linkfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

// Any caption gives a new file inside the favorites folder, or a Failure; never an overwrite.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir program;
    static int runs = 0;
    const FavoritesStore store(program.path());
    // A folder that grows without end would slow every run: start over now and then.
    if (++runs % 200 == 0)
        QDir(store.folderPath()).removeRecursively();

    const QString caption = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString cleaned = FavoritesStore::cleanName(caption);
    for (const QChar c : QStringView(u"/\\:|*?<>\""))
        FUZZ_CHECK(!cleaned.contains(c));
    FUZZ_CHECK(cleaned.size() == caption.size());

    const int before
        = int(QDir(store.folderPath())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                  .size());
    try {
        const QString path = store.addFavorite(caption, QStringLiteral("http://example.invalid/"));
        const QFileInfo info(path);
        FUZZ_CHECK(info.isFile());
        FUZZ_CHECK(QDir(info.absolutePath()) == QDir(store.folderPath()));
        FUZZ_CHECK(LinkFile::read(path).address == QStringLiteral("http://example.invalid/"));
        const int after
            = int(QDir(store.folderPath())
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                      .size());
        FUZZ_CHECK(after == before + 1);
    } catch (const Failure &failure) {
        FUZZ_CHECK(!failure.description().isEmpty());
    }
    return 0;
}
