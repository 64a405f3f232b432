#include "bookmarkcheck.h"
#include "bookmarks.h"
#include "failure.h"

// A Chromium Bookmarks file: anything that is not one is refused with a message.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        checkBookmarks(Bookmarks::readChromium(bytes));
    } catch (const Failure &failure) {
        FUZZ_CHECK(!failure.description().isEmpty());
    }
    return 0;
}
