// The keys a browser user's hands already know: each does what its button or handler does.
#include "addresscompletion.h"
#include "dialogs.h"
#include "failure.h"
#include "favoritesstore.h"
#include "findbar.h"
#include "form1.h"
#include "historywindow.h"
#include "pageset.h"

#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabBar>

void Form1::createShortcuts()
{
    const auto key
        = [this](const QList<QKeySequence> &keys, const char *name, const std::function<void()> &run) {
              auto *action = new QAction(this);
              action->setObjectName(QLatin1String(name));
              action->setShortcuts(keys);
              // The keys work wherever the focus is in this window, the page included.
              action->setShortcutContext(Qt::WindowShortcut);
              connect(action, &QAction::triggered, this, run);
              addAction(action);
          };
    using K = QKeySequence;
    key({ K(Qt::CTRL | Qt::Key_T) }, "keyNewPage", [this] { runToolbarCommand(ToolbarCommand::NewPage); });
    key({ K(Qt::CTRL | Qt::Key_W) }, "keyClosePage", [this] { m_pages->closeCurrent(); });
    key({ K(Qt::CTRL | Qt::Key_L), K(Qt::Key_F6) }, "keyAddress", [this] { focusAddress(); });
    key({ K(Qt::Key_F5), K(Qt::CTRL | Qt::Key_R) }, "keyRefresh",
        [this] { runToolbarCommand(ToolbarCommand::Refresh); });
    key({ K(Qt::ALT | Qt::Key_Left) }, "keyBack", [this] { runToolbarCommand(ToolbarCommand::Back); });
    key({ K(Qt::ALT | Qt::Key_Right) }, "keyForward", [this] { runToolbarCommand(ToolbarCommand::Forward); });
    key({ K(Qt::Key_Escape) }, "keyStop", [this] { stopLoading(); });
    key({ K(Qt::CTRL | Qt::Key_D) }, "keyFavorite",
        [this] { runToolbarCommand(ToolbarCommand::AddFavorite); });
    key({ K(Qt::CTRL | Qt::Key_Tab) }, "keyNextTab", [this] { selectNeighbourTab(1); });
    key({ K(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab) },
        "keyPreviousTab", [this] { selectNeighbourTab(-1); });
    key({ K(Qt::CTRL | Qt::Key_F) }, "keyFind", [this] { m_findBar->open(); });
    key({ K(Qt::CTRL | Qt::Key_Minus) }, "keyZoomOut", [this] { zoomOut(); });
    key({ K(Qt::CTRL | Qt::Key_Plus), K(Qt::CTRL | Qt::Key_Equal), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal) },
        "keyZoomIn", [this] { zoomIn(); });
    key({ K(Qt::CTRL | Qt::Key_0) }, "keyZoomReset", [this] { zoomReset(); });
    key({ K(Qt::CTRL | Qt::SHIFT | Qt::Key_T) }, "keyReopen", [this] { reopenClosedPage(); });
    key({ K(Qt::CTRL | Qt::Key_H) }, "keyHistory", [this] { showHistory(); });

    m_findBar = new FindBar(Picture2, this);
    connect(m_findBar, &FindBar::findRequested, this, [this](const QString &text, bool backward) {
        if (Browser *b = m_pages->current())
            b->findText(text, backward);
    });
    connect(m_findBar, &FindBar::closed, this, [this] {
        if (Browser *b = m_pages->current()) {
            b->findText(QString(), false);
            b->widget()->setFocus();
        }
    });

    m_pages->setClosingHandler([this](const QString &address) { m_closedPages.remember(address); });

    // Made after the window's own filter on the address box, so it sees the keys first.
    new AddressCompletion(
        Text1, m_history, m_store->folderPath(),
        [this](const Suggestion &chosen) {
            const bool linkFile = chosen.kind == Suggestion::Kind::Favorite;
            runGuarded([this, chosen, linkFile] { open(chosen.target, OpenIn::FrontPage, linkFile); });
        },
        this);
}

void Form1::showHistory()
{
    HistoryWindow::showHistory(
        *m_history,
        [this](const QString &address) {
            runGuarded([this, address] { open(address, OpenIn::NewPage, false); });
        },
        [this](const QString &question) {
            // Only the real boxes ask; with nobody at the screen nothing is deleted unasked.
            return dynamic_cast<QtDialogs *>(&m_dialogs)
                && QMessageBox::question(this, QStringLiteral("Kovalis"), question) == QMessageBox::Yes;
        });
}

void Form1::focusAddress()
{
    Text1->setFocus(Qt::ShortcutFocusReason);
    Text1->selectAll();
}

void Form1::selectNeighbourTab(int step)
{
    const int count = TabStrip1->count();
    if (count < 2)
        return;
    // A user's click on the neighbouring tab, wrapping at either end.
    TabStrip1->setCurrentIndex((TabStrip1->currentIndex() + step + count) % count);
}

void Form1::zoomIn()
{
    // The same walk as making the text smaller, upwards.
    zoomEveryPage([](qreal factor) { return factor + 0.1; });
}

void Form1::zoomReset()
{
    zoomEveryPage([](qreal) { return 1.0; });
}

void Form1::reopenClosedPage()
{
    const QString address = m_closedPages.takeLast();
    if (address.isEmpty())
        return;
    // An address, never read as a link file, into a page of its own.
    runGuarded([this, address] { open(address, OpenIn::NewPage, false); });
}
