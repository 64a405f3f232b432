#pragma once

#include "browser.h"
#include "closedpages.h"
#include "searchenginefile.h"

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

class Dialogs;
class FavoritesStore;
class FindBar;
class PageSet;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTabBar;
class QTimer;
class QToolBar;

// The main window: its controls, the shared state, and the handlers that hand each event to
// the room that does the work.
class Form1 final : public QWidget
{
    Q_OBJECT

public:
    Form1(const QString &programFolder, BrowserFactory factory, Dialogs &dialogs, QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up after the instance check: pages, home, the first address, the engines. False
    // after a start-up error, whose description has been shown; the program then ends.
    bool Form_Load(const QString &commandLine);

    // Opens an address or a link file: in the page in front when newTF, else in a page from NewP
    // unless the address box reads "about:blank". Throws Failure when a link file cannot be read.
    void openfile(const QString &path, bool newTF);

    // A second start handed over its command line: accepted when opened.
    bool Form_LinkExecute(const QString &command);

    // The toolbar's buttons by index, 1 to 8.
    void Toolbar1_ButtonClick(int index);
    // Makes the text of every open page one step smaller; the first failure ends the walk.
    void Toolbar1_ButtonMenuClick();

    void Command3_Click();
    void Command4_Click();
    void Command6_Click();
    void Command7_Click();
    void Text1_Enter();
    void Combo1_Enter();
    void LoadEngines();

    // The keys' own commands: every page's text one step larger, or back to its own size;
    // the first failure ends the walk. Ctrl+Shift+T reopens the last closed page.
    void zoomIn();
    void zoomReset();
    void reopenClosedPage();

    QString home;
    QStringList engineList;

    PageSet &pages() { return *m_pages; }
    QString programFolder() const { return m_programFolder; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createToolbar();
    void arrange();
    void Form_Resize();
    void addToFavorites();
    void openHome(bool newTF);
    void open(const QString &path, bool newTF, bool isLinkFile);
    void runGuarded(const std::function<void()> &command);
    void zoomEveryPage(const std::function<qreal(qreal)> &step);
    void appendEngines(const QList<Engine> &engines);
    void createShortcuts();
    void focusAddress();
    void selectNeighbourTab(int step);

    QString m_programFolder;
    Dialogs &m_dialogs;
    std::unique_ptr<FavoritesStore> m_store;

    QToolBar *Toolbar1 = nullptr;
    QList<QAction *> m_toolbarButtons;
    QList<QIcon> ImageList1;
    QComboBox *Combo1 = nullptr;
    QPushButton *Command7 = nullptr;
    QWidget *Picture1 = nullptr;
    QPushButton *Command8 = nullptr;
    QTimer *Timer1 = nullptr;
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

    PageSet *m_pages = nullptr;
    BrowserFactory m_factory;
    FindBar *m_findBar = nullptr;
    ClosedPages m_closedPages;
};
