#pragma once

#include <QStringList>

namespace CommandLine {

// The command-line string as one text, everything after the program's name: the arguments
// joined by single blanks (the shell has already taken the quotes off a path with blanks).
QString join(const QStringList &arguments);

// What start-up and a second start open: the string with every double quote removed.
QString withoutQuotes(const QString &commandLine);

// A relative path to an existing file, made absolute against the starting folder: the running
// instance that opens it may have been started somewhere else. Anything else stays as it is.
QString makeAbsoluteIfExistingFile(const QString &argument, const QString &workingFolder);

// The command line asks for the help text (--help or -h alone) or the version (--version alone):
// answered on standard output, never handed over.
bool asksForHelp(const QStringList &arguments);
bool asksForVersion(const QStringList &arguments);

// One screen, in Chinese and English: what the command line takes and the environment switches.
QString helpText();

} // namespace CommandLine
