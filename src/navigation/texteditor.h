#pragma once

#include <QString>
#include <functional>

// Opens a file in the desktop's text editor without waiting for it. False, with the reason,
// when no editor could be started.
bool openInTextEditor(const QString &filePath, QString *error);

// Tests see the call instead of an editor starting; an empty function restores the real one.
void setTextEditorLauncherForTests(std::function<bool(const QString &path, QString *error)> launcher);
