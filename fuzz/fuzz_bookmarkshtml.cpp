#include "bookmarkcheck.h"
#include "bookmarks.h"
#include "failure.h"

// A bookmarks.html; the seeds carry the header, so most inputs reach the tag reader.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        checkBookmarks(Bookmarks::readNetscape(bytes));
    } catch (const Failure &failure) {
        FUZZ_CHECK(!failure.description().isEmpty());
    }
    return 0;
}
