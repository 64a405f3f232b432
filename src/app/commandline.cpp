#include "commandline.h"

namespace CommandLine {

QString join(const QStringList &arguments)
{
    return arguments.join(QLatin1Char(' '));
}

QString withoutQuotes(const QString &commandLine)
{
    return QString(commandLine).remove(QLatin1Char('"'));
}

} // namespace CommandLine
