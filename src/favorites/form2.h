#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>

class Dialogs;
class FavoritesStore;
class QListWidget;
class QListWidgetItem;
class QMenuBar;

// The favorites window: the files of the favorites folder and four commands on the
// selected one. Modeless, without an owner, deleted when closed.
class Form2 final : public QMainWindow
{
    Q_OBJECT

public:
    using OpenFile = std::function<void(const QString &path)>;

    enum Command { Open = 0, Delete = 1, Rename = 2, SetAsHomepage = 3 };

    Form2(FavoritesStore &store, Dialogs &dialogs, OpenFile openfile);

    // Shows the one favorites window, making it only when none is open.
    static Form2 *showFavorites(FavoritesStore &store, Dialogs &dialogs, OpenFile openfile);

    QString selFile() const { return m_selFile; }
    QString listedFolder() const { return m_listedFolder; }
    // Runs a menu command; a failing step ends it silently.
    void runCommand(int index);
    // The list, for the commands other rooms put on its right-click menu.
    QListWidget *fileList() const { return File1; }
    // Reads the folder again after something else has changed it.
    void readList();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void load();
    void selectionChanged();
    void doubleClicked(QListWidgetItem *item);
    QString selectedName() const;
    void execute(int index);

    FavoritesStore &m_store;
    Dialogs &m_dialogs;
    OpenFile m_openfile;
    QString m_listedFolder;
    QString m_selFile;
    QListWidget *File1 = nullptr;
    QMenuBar *menu = nullptr;
    bool m_centred = false;
};
