#pragma once

#include <QString>

// Where the running instance's lock and socket live: a folder only this user can enter.
namespace HandoffFolder {

// The first of $XDG_RUNTIME_DIR/kovalis (when the runtime folder is ours and private), <cache>/kovalis
// and <temp>/kovalis-<uid> that is a real folder of ours, mode 0700, short enough for a socket path.
// Made when missing; one that is not ours, is a link, or that others may enter is passed over.
// Throws Failure only when none of them will do.
QString privateFolder();

// The socket's absolute path (on Windows a pipe name) and the lock file's path, both named from a
// hash of the canonical program folder.
QString serverName(const QString &programFolder);
QString lockPath(const QString &programFolder);

} // namespace HandoffFolder
