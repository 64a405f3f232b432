#pragma once

#include <QString>
#include <functional>

// Opens a file in a text editor without waiting for it. False, with the reason, when no editor
// could be started.
using TextEditorLauncher = std::function<bool(const QString &filePath, QString *error)>;

// The desktop's text editor.
bool openInTextEditor(const QString &filePath, QString *error);
