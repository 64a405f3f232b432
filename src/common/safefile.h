#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Writes whole files so that a crash or a full disk never leaves a cut-off file behind:
// the old file stays until the new one is complete. Every write, flush and error is checked,
// since QSaveFile::commit() alone can report success over a short write.
namespace SafeFile {

bool write(const QString &path, const QByteArray &data, QString *error = nullptr);

// Reads a whole file; false (with a description) when it cannot be opened or read.
bool read(const QString &path, QByteArray *data, QString *error = nullptr);

// Opens a regular file for reading without ever blocking: a pipe, a device or a folder under the
// name is refused with a description, and nothing waits for a writer that may never come.
bool openRegular(QFile &file, const QString &path, QString *error = nullptr);

// Reads a regular file of at most maxBytes; larger files are refused, not cut.
bool readRegular(const QString &path, qint64 maxBytes, QByteArray *data, QString *error = nullptr);

} // namespace SafeFile
