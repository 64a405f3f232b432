#include "processinfo.h"

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

QString browserExecutable(const QString &programFolder)
{
#ifdef Q_OS_WIN
    return programFolder + QStringLiteral("/kovalis-browser.exe");
#else
    return programFolder + QStringLiteral("/kovalis-browser");
#endif
}

} // namespace ProcessInfo
