#pragma once

#include <QString>

namespace ProcessInfo {

// The folder that holds the running executable: the program folder of the data files.
QString programFolder(const char *argv0);

// With KOVALIS_TRACE set, start-up milestones go to standard error for the benchmarks.
void trace(const char *milestone);

// The full browser beside the small program a second start runs.
QString browserExecutable(const QString &programFolder);

} // namespace ProcessInfo
