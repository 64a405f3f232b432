#pragma once

#include "browser.h"
#include "closedpages.h"
#include "searchenginefile.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

class Dialogs;
class FavoritesStore;
class FindBar;
class History;
class PageSet;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTabBar;
class QToolBar;
class QToolButton;
class SessionKeeper;

// The toolbar's eight commands, numbered as its buttons Toolbar1Button1 to Toolbar1Button8.
enum class ToolbarCommand { Back = 1, Forward, NewPage, Home, Favorites, AddFavorite, Refresh, About };

// Where openfile opens: in the page in front, or in a page from NewP unless the address box reads
// "about:blank" (the page in front is then blank and is used).
enum class OpenIn { FrontPage, NewPage };

// The main window: its controls, the shared state, and the handlers that hand each event to
// the room that does the work.
class Form1 final : public QWidget
{
    Q_OBJECT

public:
    // Given the command line Form_Load will get, the front page is sent to its first address
    // before the controls are built, so the engine fetches it meanwhile.
    Form1(const QString &programFolder, BrowserFactory factory, Dialogs &dialogs,
        const std::optional<QString> &aheadFor = std::nullopt, QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up after the instance check: pages, home, the first address, the engines. False
    // after a start-up error, whose description has been shown; the program then ends.
    bool Form_Load(const QString &commandLine);

    // Opens an address or a link file (a path ending in ".link"). Throws Failure when a link file
    // cannot be read.
    void openfile(const QString &path, OpenIn where);

    // A second start handed over its command line: accepted when opened.
    bool Form_LinkExecute(const QString &command);
    // The same in two steps: takes the command line over now (a link file's address is read while
    // the second start waits, so the file may go once it has its answer) and returns what opens it.
    std::function<void()> takeOver(const QString &command);

    void runToolbarCommand(ToolbarCommand command);

    // "→": opens the address box's text in the page in front.
    void goToAddress();
    // "×" beside the box: stops loading the page in front.
    void stopLoading();
    // "搜索": the box's text with the chosen engine's search string, in the page in front.
    void search();
    // "+": adds a search engine, or opens 搜索.txt in an editor for "edit".
    void addSearchEngine();
    // Enter in the address box: goes to the address or searches for it, by AddressRule.
    void enterAddress();
    // Enter in the engine list: reads 搜索.txt again; a file that cannot be read keeps the lists.
    void reloadEngines();
    void LoadEngines();

    // Every page's text one step smaller, one step larger, or back to its own size; the first
    // failure ends the walk. Ctrl+Shift+T reopens the last closed page.
    void zoomOut();
    void zoomIn();
    void zoomReset();
    void reopenClosedPage();
    // Ctrl+H: the history window, whose entries open like favorites.
    void showHistory();

    QString home;
    QStringList engineList;

    PageSet &pages() { return *m_pages; }
    SessionKeeper &session() { return *m_session; }
    History &history() { return *m_history; }
    QString programFolder() const { return m_programFolder; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createToolbar();
    void arrange();
    void applyResizeRule();
    void addToFavorites();
    void openHome(OpenIn where);
    QString homeFile() const;
    std::optional<QString> firstAddress(const QString &commandLine) const;
    void open(const QString &path, OpenIn where, bool isLinkFile);
    void openAddress(const QString &address, OpenIn where);
    void runGuarded(const std::function<void()> &command);
    void zoomEveryPage(const std::function<qreal(qreal)> &step);
    void appendEngines(const QList<Engine> &engines);
    void createShortcuts();
    void keepSession();
    void focusAddress();
    void selectNeighbourTab(int step);
    void connectPopupBlocker();

    QString m_programFolder;
    Dialogs &m_dialogs;
    std::unique_ptr<FavoritesStore> m_store;
    SessionKeeper *m_session = nullptr;

    QToolBar *Toolbar1 = nullptr;
    QList<QAction *> m_toolbarButtons;
    QList<QIcon> ImageList1;
    QComboBox *Combo1 = nullptr;
    QPushButton *Command7 = nullptr;
    QWidget *Picture1 = nullptr;
    QPushButton *Command8 = nullptr;
    QPushButton *Command5 = nullptr;
    QTabBar *TabStrip1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *Command6 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command3 = nullptr;
    QLabel *Label1 = nullptr;
    QWidget *Picture2 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *m_statusPanel = nullptr;
    QToolButton *m_allowPopups = nullptr;
    QPointer<QObject> m_blockedIn;
    QString m_blockedOrigin;
    // The page last sent to an address until its load ends: the box may still read blank.
    QPointer<Browser> m_onItsWay;
    // The address the front page was sent to before the controls existed, until Form_Load opens.
    std::optional<QString> m_aheadTo;

    PageSet *m_pages = nullptr;
    BrowserFactory m_factory;
    FindBar *m_findBar = nullptr;
    ClosedPages m_closedPages;
    History *m_history = nullptr;
};
