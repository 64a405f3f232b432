#include "processinfo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace ProcessInfo {

QString programFolder(const char *argv0)
{
#ifdef Q_OS_LINUX
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    if (self.exists())
        return self.canonicalFilePath().section(QLatin1Char('/'), 0, -2);
#endif
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

void trace(const char *milestone)
{
    static const bool on = !qEnvironmentVariableIsEmpty("KOVALIS_TRACE");
    static QElapsedTimer clock;
    if (!on)
        return;
    if (!clock.isValid())
        clock.start();
    std::fprintf(
        stderr, "kovalis-trace %s %lld\n", milestone, static_cast<long long>(clock.nsecsElapsed() / 1000));
    std::fflush(stderr);
}

namespace {
#ifdef Q_OS_WIN
    const QString browserName = QStringLiteral("kovalis-browser.exe");
    const QString programName = QStringLiteral("kovalis.exe");
#else
    const QString browserName = QStringLiteral("kovalis-browser");
    const QString programName = QStringLiteral("kovalis");
#endif
} // namespace

QString startingFolder(const QString &browserFolder)
{
    if (QFileInfo(browserFolder + QLatin1Char('/') + programName).isFile())
        return browserFolder;
    const QString installed = QDir::cleanPath(browserFolder + QStringLiteral("/" KOVALIS_BIN_FROM_LIBEXEC));
    if (QFileInfo(installed + QLatin1Char('/') + programName).isFile())
        return installed;
    return browserFolder;
}

QString browserExecutable(const QString &programFolder)
{
    const QString beside = programFolder + QLatin1Char('/') + browserName;
    if (QFileInfo(beside).isFile())
        return beside;
    return QDir::cleanPath(programFolder + QStringLiteral("/" KOVALIS_LIBEXEC_FROM_BIN "/") + browserName);
}

} // namespace ProcessInfo
