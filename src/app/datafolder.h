#pragma once

#include <QString>

// Where the program keeps its files (favorites, homepage, search engines): beside the program in a
// portable folder, else in the user's data folder. Decided once at start-up; the single-instance lock
// and hand-off name follow it, so each data folder has its own running instance.
namespace DataFolder {

// The file whose presence makes a program folder portable.
inline constexpr char16_t markerName[] = u"portable";

// A folder of the installed system, which the program never writes, whoever runs it.
bool isSystemFolder(const QString &folder);

// The program folder keeps the data beside the program: it holds the marker, or already holds
// 搜索.txt or likepage/ (a folder used before this rule existed), and it is not a system folder.
bool isPortable(const QString &programFolder);

// The user's data folder: ~/.local/share/Kovalis ($XDG_DATA_HOME/Kovalis), the application data
// location of a program named Kovalis.
QString userFolder();

// The data folder for a program folder, not made yet.
QString choose(const QString &programFolder);

// Makes the folder when it is missing and returns its canonical path, so the instance name made from
// it is the same at every start. Throws Failure when the folder cannot be made.
QString prepare(const QString &folder);

} // namespace DataFolder
