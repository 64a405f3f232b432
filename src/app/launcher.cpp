// The program a user starts. A second start only hands its address to the running instance,
// so this small program does that without loading the browser engine or touching the display;
// every other start becomes the full browser in the same process.
#include "commandline.h"
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

// Hands over when another instance holds the lock. True when the address was accepted; false
// when the full browser must take over (no instance runs, nothing to hand over, or a failure
// whose description it shows).
bool handedOver(const QString &programFolder, const QString &commandLine)
{
    if (commandLine.isEmpty())
        return false;
    try {
        SingleInstance instance(programFolder);
        if (instance.tryLock())
            return false; // released again at once: the browser takes it
    } catch (const Failure &) {
        return false;
    }
    const QString text = CommandLine::makeAbsoluteIfExistingFile(
        CommandLine::withoutQuotes(commandLine), QDir::currentPath());
    QString error;
    if (sendToRunningInstance(programFolder, text, 5000, &error) == HandoffResult::Accepted) {
        ProcessInfo::trace("handed-over");
        return true;
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
    const QString programFolder = ProcessInfo::programFolder(argv[0]);
    if (arguments != QStringList { QStringLiteral("--version") }
        && handedOver(programFolder, CommandLine::join(arguments)))
        return 0;

    const QByteArray browser
        = QFile::encodeName(QDir::toNativeSeparators(ProcessInfo::browserExecutable(programFolder)));
    argv[0] = const_cast<char *>(browser.constData());
    execv(browser.constData(), argv);
    std::fprintf(stderr, "kovalis: cannot start %s\n", browser.constData());
    return 127;
}
