// The program a user starts. A second start only hands its address to the running instance,
// so this small program does that without loading the browser engine, Qt Network or the display;
// every other start becomes the full browser in the same process.
#include "commandline.h"
#include "datafolder.h"
#include "failure.h"
#include "handoff.h"
#include "processinfo.h"

#include <QDir>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <process.h>
#endif

namespace {

// Hands over when an instance listens. True when the address was accepted; false when the full
// browser must take over: nobody listens (an instance that is still starting is then found by the
// browser's own lock, which waits for it), nothing to hand over, or a failure whose description
// the browser shows.
bool handedOver(const QString &programFolder, const QString &commandLine)
{
    if (commandLine.isEmpty())
        return false;
    QString dataFolder;
    try {
        // The same rule the browser decides by, so both name the same instance.
        dataFolder = DataFolder::prepare(DataFolder::choose(programFolder));
    } catch (const Failure &) {
        return false; // the browser says what went wrong
    }
    QString error;
    switch (handOverCommandLine(dataFolder, commandLine, &error, IfNoneListens::GiveUp)) {
    case HandoffResult::Accepted:
        return true;
    case HandoffResult::NotRunning:
        return false;
    case HandoffResult::Refused:
    case HandoffResult::NoAnswer:
        break;
    }
    qputenv("KOVALIS_HANDOFF_ERROR", error.toUtf8());
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    ProcessInfo::trace("exec");
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (CommandLine::asksForHelp(arguments)) {
        std::fputs(CommandLine::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    const QString programFolder = ProcessInfo::programFolder(argv[0]);
    // Switches for scripts are answered by this start itself, never by a running window.
    const QString first = arguments.isEmpty() ? QString() : arguments.first();
    const bool forScripts = CommandLine::asksForVersion(arguments)
        || first == QStringLiteral("--import-bookmarks") || first == QStringLiteral("--export-bookmarks");
    if (!forScripts && handedOver(programFolder, CommandLine::join(arguments)))
        return 0;

    const QByteArray browser
        = QFile::encodeName(QDir::toNativeSeparators(ProcessInfo::browserExecutable(programFolder)));
    argv[0] = const_cast<char *>(browser.constData());
    execv(browser.constData(), argv);
    std::fprintf(stderr, "kovalis: cannot start %s\n", browser.constData());
    return 127;
}
