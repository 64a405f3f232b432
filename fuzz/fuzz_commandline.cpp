#include "addressfixup.h"
#include "commandline.h"
#include "fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The command-line string as start-up and a second start treat it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir working;
    static const bool made = [] {
        QFile file(working.path() + QStringLiteral("/page.html"));
        return file.open(QIODevice::WriteOnly);
    }();
    FUZZ_CHECK(made);

    const QString argument = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString unquoted = CommandLine::withoutQuotes(argument);
    FUZZ_CHECK(!unquoted.contains(QLatin1Char('"')));
    FUZZ_CHECK(unquoted.size() <= argument.size());

    const QString absolute = CommandLine::makeAbsoluteIfExistingFile(unquoted, working.path());
    FUZZ_CHECK(absolute == unquoted || QDir::isAbsolutePath(absolute));

    const QUrl url = AddressFixup::toUrl(absolute);
    // Whatever went in, what comes out is an address or nothing, and its text parses again.
    if (url.isValid())
        FUZZ_CHECK(
            QUrl(url.toString(QUrl::FullyEncoded), QUrl::StrictMode).isValid() || url.scheme().isEmpty());
    return 0;
}
