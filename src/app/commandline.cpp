#include "commandline.h"

#include <QDir>
#include <QFileInfo>

namespace CommandLine {

QString join(const QStringList &arguments)
{
    return arguments.join(QLatin1Char(' '));
}

QString withoutQuotes(const QString &commandLine)
{
    return QString(commandLine).remove(QLatin1Char('"'));
}

QString makeAbsoluteIfExistingFile(const QString &argument, const QString &workingFolder)
{
    if (argument.isEmpty() || QDir::isAbsolutePath(argument))
        return argument;
    const QFileInfo file(QDir(workingFolder).filePath(argument));
    return file.isFile() ? QDir::cleanPath(file.absoluteFilePath()) : argument;
}

} // namespace CommandLine
