#pragma once

#include "searchenginefile.h"
#include "texteditor.h"

class Dialogs;

struct AddEngineOutcome
{
    enum class Kind { Added, EditorOpened };
    Kind kind;
    Engine engine;
};

// The "+" button: asks for a name ("edit" in any letter case opens the file in the editor
// instead) and a search string, and appends the engine to the file. The file is written before
// the caller extends its lists, so a failed write (a Failure) leaves them as they were. A search
// string that is no http or https address is refused with a Failure and nothing is written.
AddEngineOutcome addEngine(Dialogs &dialogs, const QString &dataFolder, const TextEditorLauncher &openEditor);
