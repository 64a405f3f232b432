// The main window's handlers: each hands its event to the room that does the work.
#include "about.h"
#include "addressrule.h"
#include "commandline.h"
#include "dialogs.h"
#include "engineadder.h"
#include "failure.h"
#include "favoritesstore.h"
#include "form1.h"
#include "form2.h"
#include "linkfile.h"
#include "pageset.h"
#include "searchenginefile.h"

#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

namespace {
const QString kBlank = QStringLiteral("about:blank");
}

bool Form1::Form_Load(const QString &commandLine)
{
    try {
        m_pages->addFirstPage();
        home = m_store->homeAtStartup();
        if (!commandLine.isEmpty())
            openfile(CommandLine::withoutQuotes(commandLine), true);
        else
            openHome(true);
        LoadEngines();
        return true;
    } catch (const Failure &failure) {
        m_dialogs.MsgBox(failure.description());
    } catch (const std::exception &e) {
        m_dialogs.MsgBox(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void Form1::openfile(const QString &path, bool newTF)
{
    open(path, newTF, path.endsWith(QStringLiteral(".link"), Qt::CaseSensitive));
}

void Form1::open(const QString &path, bool newTF, bool isLinkFile)
{
    QString address = path;
    if (isLinkFile) {
        const LinkFile::ReadResult link = LinkFile::read(path);
        if (link.formatError) {
            m_dialogs.MsgBox(LinkFile::formatErrorMessage());
            return;
        }
        address = link.address;
    }
    if (Text1->text().toLower() != kBlank && !newTF)
        m_pages->NewP();
    Browser *b = m_pages->current();
    if (!b)
        throw Failure(QStringLiteral("网页 %1 不存在。").arg(m_pages->curP()), Failure::Kind::ElementMissing);
    b->Navigate(address);
}

bool Form1::Form_LinkExecute(const QString &command)
{
    if (windowState() & Qt::WindowMinimized)
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    try {
        openfile(command, false);
    } catch (const Failure &failure) {
        // The running instance lives on whatever a second start sent it.
        m_dialogs.MsgBox(failure.description());
    }
    return true;
}

void Form1::runGuarded(const std::function<void()> &command)
{
    try {
        command();
    } catch (const Failure &failure) {
        m_dialogs.MsgBox(failure.description());
    } catch (const std::exception &e) {
        m_dialogs.MsgBox(QString::fromLocal8Bit(e.what()));
    }
}

void Form1::Toolbar1_ButtonClick(int index)
{
    Browser *b = m_pages->current();
    switch (index) {
    case 1:
        try {
            if (b)
                b->GoBack();
        } catch (const Failure &) {
        }
        break;
    case 2:
        try {
            if (b)
                b->GoForward();
        } catch (const Failure &) {
        }
        break;
    case 3:
        runGuarded([this] { openfile(kBlank, false); });
        break;
    case 4:
        runGuarded([this] { openHome(false); });
        break;
    case 5:
        Form2::showFavorites(*m_store, m_dialogs, [this](const QString &path) { openfile(path, false); });
        break;
    case 6:
        runGuarded([this] { addToFavorites(); });
        break;
    case 7:
        runGuarded([b] {
            if (b)
                b->Refresh();
        });
        break;
    case 8:
        about::showAbout();
        break;
    default:
        break;
    }
}

void Form1::openHome(bool newTF)
{
    if (home == kBlank) {
        openfile(home, newTF);
        return;
    }
    // Set as homepage may have written the file since under the other letter case; it is the
    // homepage file all the same and is read as a link file.
    const QString file = m_store->currentHomeFile(home);
    if (!QFileInfo(file).isFile()) {
        throw Failure(
            QStringLiteral("找不到主页文件“%1”，它可能已被删除或改名。请在收藏夹中重新设为主页。").arg(home));
    }
    open(file, newTF, true);
}

void Form1::addToFavorites()
{
    m_store->addFavorite(windowTitle(), Text1->text());
    m_dialogs.MsgBox(QStringLiteral("已经收藏！"));
}

void Form1::Toolbar1_ButtonMenuClick()
{
    zoomEveryPage([](qreal factor) { return factor - 0.1; });
}

void Form1::zoomEveryPage(const std::function<qreal(qreal)> &step)
{
    // Every open page in tab order; the first failure (a page at its limit) ends the walk.
    for (qint16 page : m_pages->pageList()) {
        Browser *b = m_pages->browser(page);
        if (!b)
            return;
        try {
            b->setZoomFactor(step(b->zoomFactor()));
        } catch (const Failure &) {
            return;
        }
    }
}

void Form1::Command3_Click()
{
    runGuarded([this] {
        if (Browser *b = m_pages->current())
            b->Navigate(Text1->text());
    });
}

void Form1::Command4_Click()
{
    if (Browser *b = m_pages->current())
        b->Stop();
}

void Form1::Text1_Enter()
{
    if (AddressRule::enterAction(Text1->text()) == AddressRule::EnterAction::Go)
        Command3_Click();
    else
        Command6_Click();
}

void Form1::Command6_Click()
{
    const int k = Combo1->currentIndex();
    if (k < 0 || k >= engineList.size()) {
        m_dialogs.MsgBox(SearchEngineFile::noEngineMessage());
        return;
    }
    const QString address = engineList.at(k) + Text1->text();
    runGuarded([this, address] {
        if (Browser *b = m_pages->current())
            b->Navigate(address);
    });
}

void Form1::Command7_Click()
{
    runGuarded([this] {
        const AddEngineOutcome outcome = addEngine(m_dialogs, m_programFolder);
        if (outcome.kind != AddEngineOutcome::Kind::Added)
            return;
        Combo1->addItem(outcome.engine.name);
        engineList.append(outcome.engine.searchString);
    });
}

void Form1::LoadEngines()
{
    appendEngines(SearchEngineFile::load(m_programFolder));
}

void Form1::appendEngines(const QList<Engine> &engines)
{
    for (const Engine &engine : engines) {
        Combo1->addItem(engine.name);
        engineList.append(engine.searchString);
    }
    if (Combo1->count() > 0)
        Combo1->setCurrentIndex(0);
}

void Form1::Combo1_Enter()
{
    // The file is read before the lists are emptied, so a failed reload keeps them as they were.
    runGuarded([this] {
        const QList<Engine> engines = SearchEngineFile::load(m_programFolder);
        Combo1->clear();
        engineList.clear();
        appendEngines(engines);
    });
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == Text1) {
        if (type == QEvent::MouseButtonRelease) {
            Command3->setFocus();
            Text1->setFocus();
        } else if (type == QEvent::MouseButtonDblClick) {
            Text1->selectAll();
            return true;
        } else if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Text1_Enter();
                return true;
            }
        }
    } else if (watched == Combo1 && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Combo1_Enter();
            return true;
        }
    } else if (watched == TabStrip1 && type == QEvent::MouseButtonRelease) {
        // After the tab bar has handled the release, so the selection is current.
        QMetaObject::invokeMethod(
            this, [this] { m_pages->TabStrip1_MouseUp(); }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}
