#pragma once

#include <QString>

// Where the running instance's lock and socket live: a folder only this user can enter.
namespace HandoffFolder {

// $XDG_RUNTIME_DIR/kovalis when the runtime folder is ours and private, else <temp>/kovalis-<uid>.
// Made with mode 0700 when missing; a folder that is not ours, not a real folder or that others may
// enter is refused with a Failure.
QString privateFolder();

// The socket's absolute path (on Windows a pipe name) and the lock file's path, both named from a
// hash of the canonical program folder.
QString serverName(const QString &programFolder);
QString lockPath(const QString &programFolder);

} // namespace HandoffFolder
