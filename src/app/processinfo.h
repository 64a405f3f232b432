#pragma once

#include <QString>

namespace ProcessInfo {

// The folder that holds the running executable.
QString programFolder(const char *argv0);

// The folder of the program the user starts, seen from the browser's folder: the same folder in a
// build or portable folder, the installed bin folder when the browser lives in libexec/kovalis.
QString startingFolder(const QString &browserFolder);

// With KOVALIS_TRACE set, start-up milestones go to standard error for the benchmarks.
void trace(const char *milestone);

// The full browser: beside the small program a second start runs (build and portable folders),
// else in the installed libexec/kovalis folder.
QString browserExecutable(const QString &programFolder);

} // namespace ProcessInfo
