#include "engineadder.h"

#include "dialogs.h"
#include "failure.h"
#include "texteditor.h"

AddEngineOutcome addEngine(Dialogs &dialogs, const QString &programFolder)
{
    const QString name = dialogs.InputBox(QStringLiteral("请输入搜索引擎名称:\r\n输入 edit 进入记事本编辑."));
    if (name.toLower() == QStringLiteral("edit")) {
        QString error;
        if (!openInTextEditor(SearchEngineFile::path(programFolder), &error))
            throw Failure(error.isEmpty() ? QStringLiteral("无法打开文本编辑器。") : error);
        return { AddEngineOutcome::Kind::EditorOpened, {} };
    }
    const QString searchString = dialogs.InputBox(QStringLiteral("请输入搜索引擎的搜索串:"));
    const Engine engine { name, searchString };
    SearchEngineFile::append(programFolder, engine);
    return { AddEngineOutcome::Kind::Added, engine };
}
