#include "engineadder.h"

#include "dialogs.h"
#include "failure.h"
#include "searchquery.h"

AddEngineOutcome addEngine(Dialogs &dialogs, const QString &dataFolder, const TextEditorLauncher &openEditor)
{
    const QString name = dialogs.InputBox(QStringLiteral("请输入搜索引擎名称:\r\n输入 edit 进入记事本编辑."));
    if (name.toLower() == QStringLiteral("edit")) {
        QString error;
        if (!openEditor(SearchEngineFile::path(dataFolder), &error))
            throw Failure(error.isEmpty() ? QStringLiteral("无法打开文本编辑器。") : error);
        return { AddEngineOutcome::Kind::EditorOpened, {} };
    }
    const QString searchString = dialogs.InputBox(QStringLiteral("请输入搜索引擎的搜索串:"));
    if (!SearchQuery::acceptable(searchString))
        throw Failure(SearchQuery::refusedMessage(searchString));
    const Engine engine { name, searchString };
    SearchEngineFile::append(dataFolder, engine);
    return { AddEngineOutcome::Kind::Added, engine };
}
