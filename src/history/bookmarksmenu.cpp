#include "bookmarksmenu.h"

#include "bookmarks.h"
#include "dialogs.h"
#include "failure.h"
#include "favoritesstore.h"
#include "form2.h"

#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QStringList>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace BookmarksMenu {

namespace {

    QString chooseWithDialog(QWidget *parent, bool save)
    {
        if (save) {
            return QFileDialog::getSaveFileName(parent, u"导出书签"_s,
                QDir::home().filePath(u"bookmarks.html"_s), u"书签文件 (*.html *.htm)"_s);
        }
        return QFileDialog::getOpenFileName(parent, u"导入书签"_s, QDir::homePath(),
            u"书签文件 (Bookmarks *.json places.sqlite *.html *.htm);;所有文件 (*)"_s);
    }

    QString exportedText(int count, const QString &file)
    {
        return u"已把 %1 个收藏导出到 %2。"_s.arg(count).arg(QDir::toNativeSeparators(file));
    }

} // namespace

void attach(Form2 *window, const FavoritesStore &store, Dialogs &dialogs, ChooseFile choose)
{
    if (!window || window->property("kovalisBookmarksMenu").toBool())
        return;
    window->setProperty("kovalisBookmarksMenu", true);
    if (!choose)
        choose = [window](bool save) { return chooseWithDialog(window, save); };
    QListWidget *list = window->fileList();
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *importAction = new QAction(u"导入书签…"_s, list);
    importAction->setObjectName(u"importBookmarks"_s);
    auto *exportAction = new QAction(u"导出书签…"_s, list);
    exportAction->setObjectName(u"exportBookmarks"_s);
    list->addAction(importAction);
    list->addAction(exportAction);
    QObject::connect(importAction, &QAction::triggered, window, [window, &store, &dialogs, choose] {
        const QString file = choose(false);
        if (!file.isEmpty())
            importBookmarks(window, store, dialogs, file);
    });
    QObject::connect(exportAction, &QAction::triggered, window, [&store, &dialogs, choose] {
        const QString file = choose(true);
        if (!file.isEmpty())
            exportBookmarks(store, dialogs, file);
    });
}

void importBookmarks(Form2 *window, const FavoritesStore &store, Dialogs &dialogs, const QString &file)
{
    try {
        dialogs.MsgBox(Bookmarks::importFile(file, store).text());
    } catch (const Failure &failure) {
        dialogs.MsgBox(failure.description());
    }
    if (window)
        window->readList();
}

void exportBookmarks(const FavoritesStore &store, Dialogs &dialogs, const QString &file)
{
    try {
        dialogs.MsgBox(exportedText(Bookmarks::exportFile(file, store), file));
    } catch (const Failure &failure) {
        dialogs.MsgBox(failure.description());
    }
}

bool isCommandLine(const QStringList &arguments)
{
    return !arguments.isEmpty()
        && (arguments.first() == u"--import-bookmarks"_s || arguments.first() == u"--export-bookmarks"_s);
}

int commandLine(const QStringList &arguments, const QString &dataFolder)
{
    const QString importSwitch = u"--import-bookmarks"_s;
    if (!isCommandLine(arguments))
        return 2;
    const auto print = [](std::FILE *stream, const QString &text) {
        std::fputs((text + u'\n').toUtf8().constData(), stream);
    };
    if (arguments.size() != 2 || arguments.at(1).isEmpty()) {
        print(stderr, u"用法：kovalis %1 文件"_s.arg(arguments.first()));
        return 2;
    }
    const FavoritesStore store(dataFolder);
    const QString file = QDir::current().absoluteFilePath(arguments.at(1));
    try {
        if (arguments.first() == importSwitch)
            print(stdout, Bookmarks::importFile(file, store).text());
        else
            print(stdout, exportedText(Bookmarks::exportFile(file, store), file));
        return 0;
    } catch (const Failure &failure) {
        print(stderr, failure.description());
        return 1;
    }
}

} // namespace BookmarksMenu
