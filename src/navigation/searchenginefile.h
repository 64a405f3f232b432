#pragma once

#include <QList>
#include <QString>

// One search engine: a display name and the start of an address the query is appended to.
struct Engine
{
    QString name;
    QString searchString;
};

// The search-engine file "搜索.txt" in the data folder: one engine a line,
// name " TheHead: " search string.
namespace SearchEngineFile {

QString path(const QString &dataFolder);
QString separator();

// Creates the file empty when it is missing. Throws Failure when it cannot be created or read.
QList<Engine> load(const QString &dataFolder);

// Parses the file's text; lines without the separator are passed over.
QList<Engine> parse(const QString &text);

// Appends one line in the encoding the file already has (GB18030 for a new or ASCII file). The
// whole file is written anew so a failed write leaves the old bytes. Throws Failure, also for a
// name or search string the one-line format cannot hold (a line break or the separator).
void append(const QString &dataFolder, const Engine &engine);

// What a search with no engine in the list tells the user.
QString noEngineMessage();

} // namespace SearchEngineFile
