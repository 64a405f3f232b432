#pragma once

#include <QString>
#include <functional>

class Dialogs;
class FavoritesStore;
class Form2;

// "导入书签…" and "导出书签…" on the right-click menu of the favorites window's list; its menu
// bar stays as it is.
namespace BookmarksMenu {

// Asks for a file to read (save false) or write (save true); empty when cancelled.
using ChooseFile = std::function<QString(bool save)>;

void attach(Form2 *window, const FavoritesStore &store, Dialogs &dialogs, ChooseFile choose = {});

// The two commands, each reporting through a message box.
void importBookmarks(Form2 *window, const FavoritesStore &store, Dialogs &dialogs, const QString &file);
void exportBookmarks(const FavoritesStore &store, Dialogs &dialogs, const QString &file);

// Whether the arguments start with --import-bookmarks or --export-bookmarks.
bool isCommandLine(const QStringList &arguments);
// Runs one of them: prints one line to standard output (or error) and returns the exit status.
int commandLine(const QStringList &arguments, const QString &dataFolder);

} // namespace BookmarksMenu
