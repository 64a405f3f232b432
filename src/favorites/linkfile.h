#pragma once

#include <QByteArray>
#include <QString>

// A link file: the header line, then the address, each ending in CR LF, in GB18030.
// Only the first two lines are read; a line ends at CR or CR LF, never at a lone LF.
namespace LinkFile {

struct ReadResult
{
    bool formatError = false; // the first line is not the header
    QString address;
};

QString header();
QString formatErrorMessage();

QByteArray compose(const QString &address);

// A wrong header is a format error; a file that cannot be read or has no address line
// throws Failure.
ReadResult read(const QString &path);

// Writes the whole file or nothing; throws Failure.
void write(const QString &path, const QString &address);

} // namespace LinkFile
