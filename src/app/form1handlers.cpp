// The main window's handlers: each hands its event to the room that does the work.
#include "about.h"
#include "addressrule.h"
#include "blankpage.h"
#include "bookmarksmenu.h"
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
#include "searchquery.h"
#include "sessionkeeper.h"

#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

bool Form1::Form_Load(const QString &commandLine)
{
    try {
        m_pages->addFirstPage();
        home = m_store->homeAtStartup();
        if (!commandLine.isEmpty())
            openfile(CommandLine::withoutQuotes(commandLine), OpenIn::FrontPage);
        else
            openHome(OpenIn::FrontPage);
        LoadEngines();
        m_session->start(Picture2);
        return true;
    } catch (const Failure &failure) {
        m_dialogs.MsgBox(failure.description());
    } catch (const std::exception &e) {
        m_dialogs.MsgBox(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void Form1::openfile(const QString &path, OpenIn where)
{
    open(path, where, path.endsWith(QStringLiteral(".link"), Qt::CaseSensitive));
}

void Form1::open(const QString &path, OpenIn where, bool isLinkFile)
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
    openAddress(address, where);
}

void Form1::openAddress(const QString &address, OpenIn where)
{
    // A blank page in front is used, unless a page opened it and so still holds it, or it is on
    // its way to the address opened just before (two second starts in quick succession).
    const bool frontIsFree = BlankPage::is(Text1->text()) && m_pages->mayReuse(m_pages->curP())
        && (!m_onItsWay || m_onItsWay != m_pages->current());
    if (where == OpenIn::NewPage && !frontIsFree)
        m_pages->NewP();
    Browser *b = m_pages->current();
    if (!b)
        throw Failure(QStringLiteral("网页 %1 不存在。").arg(m_pages->curP()));
    // The front page may be on its way there since before the controls were built.
    if (std::exchange(m_aheadTo, std::nullopt) != address)
        b->Navigate(address);
    m_onItsWay = b;
    connect(
        b, &Browser::loadFinished, this,
        [this, b] {
            if (m_onItsWay == b)
                m_onItsWay.clear();
        },
        Qt::SingleShotConnection);
}

bool Form1::Form_LinkExecute(const QString &command)
{
    takeOver(command)();
    return true;
}

std::function<void()> Form1::takeOver(const QString &command)
{
    QString address = command;
    QString problem;
    if (command.endsWith(QStringLiteral(".link"), Qt::CaseSensitive)) {
        try {
            const LinkFile::ReadResult link = LinkFile::read(command);
            if (link.formatError)
                problem = LinkFile::formatErrorMessage();
            address = link.address;
        } catch (const Failure &failure) {
            problem = failure.description();
        }
    }
    return [this, address, problem] {
        if (windowState() & Qt::WindowMinimized)
            setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        // The running instance lives on whatever a second start sent it.
        if (!problem.isEmpty()) {
            m_dialogs.MsgBox(problem);
            return;
        }
        runGuarded([this, &address] { openAddress(address, OpenIn::NewPage); });
    };
}

void Form1::runGuarded(const std::function<void()> &command)
{
    if (const std::optional<Failure> failure = attempt(command))
        m_dialogs.MsgBox(failure->description());
}

void Form1::runToolbarCommand(ToolbarCommand command)
{
    Browser *b = m_pages->current();
    switch (command) {
    case ToolbarCommand::Back:
        // No page to go back to is no error.
        if (b)
            attempt([b] { b->GoBack(); });
        break;
    case ToolbarCommand::Forward:
        if (b)
            attempt([b] { b->GoForward(); });
        break;
    case ToolbarCommand::NewPage:
        runGuarded([this] { openfile(BlankPage::address(), OpenIn::NewPage); });
        break;
    case ToolbarCommand::Home:
        runGuarded([this] { openHome(OpenIn::NewPage); });
        break;
    case ToolbarCommand::Favorites:
        BookmarksMenu::attach(Form2::showFavorites(*m_store, m_dialogs,
                                  [this](const QString &path) { openfile(path, OpenIn::NewPage); }),
            *m_store, m_dialogs);
        break;
    case ToolbarCommand::AddFavorite:
        runGuarded([this] { addToFavorites(); });
        break;
    case ToolbarCommand::Refresh:
        runGuarded([b] {
            if (b)
                b->Refresh();
        });
        break;
    case ToolbarCommand::About:
        about::showAbout();
        break;
    }
}

void Form1::openHome(OpenIn where)
{
    if (BlankPage::is(home)) {
        openfile(home, where);
        return;
    }
    open(homeFile(), where, true);
}

QString Form1::homeFile() const
{
    // Set as homepage may have written the file since under the other letter case; it is the
    // homepage file all the same and is read as a link file.
    const QString file = m_store->currentHomeFile(home);
    if (!QFileInfo(file).isFile()) {
        throw Failure(
            QStringLiteral("找不到主页文件“%1”，它可能已被删除或改名。请在收藏夹中重新设为主页。").arg(home));
    }
    return file;
}

std::optional<QString> Form1::firstAddress(const QString &commandLine) const
{
    // The address Form_Load will open in the front page, when it opens without a word to the
    // user; a missing homepage or a link file in the wrong format is left to Form_Load to report.
    QString path = CommandLine::withoutQuotes(commandLine);
    bool isLinkFile = path.endsWith(QStringLiteral(".link"), Qt::CaseSensitive);
    try {
        if (path.isEmpty()) {
            if (BlankPage::is(home))
                return home;
            path = homeFile();
            isLinkFile = true;
        }
        if (!isLinkFile)
            return path;
        const LinkFile::ReadResult link = LinkFile::read(path);
        if (link.formatError)
            return std::nullopt;
        return link.address;
    } catch (const Failure &) {
        return std::nullopt;
    }
}

void Form1::addToFavorites()
{
    m_store->addFavorite(windowTitle(), Text1->text());
    m_dialogs.MsgBox(QStringLiteral("已经收藏！"));
}

void Form1::zoomOut()
{
    zoomEveryPage([](qreal factor) { return factor - 0.1; });
}

void Form1::zoomEveryPage(const std::function<qreal(qreal)> &step)
{
    // Every open page in tab order; the first failure (a page at its limit) ends the walk.
    for (qint16 page : m_pages->pageList()) {
        Browser *b = m_pages->browser(page);
        if (!b || attempt([b, &step] { b->setZoomFactor(step(b->zoomFactor())); }))
            return;
    }
}

void Form1::goToAddress()
{
    runGuarded([this] {
        if (Browser *b = m_pages->current())
            b->Navigate(Text1->text());
    });
}

void Form1::stopLoading()
{
    if (Browser *b = m_pages->current())
        b->Stop();
}

void Form1::enterAddress()
{
    if (AddressRule::enterAction(Text1->text()) == AddressRule::EnterAction::Go)
        goToAddress();
    else
        search();
}

void Form1::search()
{
    const int k = Combo1->currentIndex();
    if (k < 0 || k >= engineList.size()) {
        m_dialogs.MsgBox(SearchEngineFile::noEngineMessage());
        return;
    }
    const QString address = SearchQuery::address(engineList.at(k), Text1->text());
    runGuarded([this, address] {
        if (Browser *b = m_pages->current())
            b->Navigate(address);
    });
}

void Form1::addSearchEngine()
{
    runGuarded([this] {
        const AddEngineOutcome outcome = addEngine(m_dialogs, m_programFolder, openInTextEditor);
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
    int skipped = 0;
    for (const Engine &engine : engines) {
        // A line someone wrote into the file by hand gets the same check as the "+" box.
        if (!SearchQuery::acceptable(engine.searchString)) {
            ++skipped;
            continue;
        }
        Combo1->addItem(engine.name);
        engineList.append(engine.searchString);
    }
    if (Combo1->count() > 0)
        Combo1->setCurrentIndex(0);
    if (skipped > 0)
        m_statusPanel->setText(
            QStringLiteral("搜索.txt 中有 %1 行的搜索串不是 http:// 或 https:// 网址，已跳过。")
                .arg(skipped));
}

void Form1::reloadEngines()
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
        if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                enterAddress();
                return true;
            }
        }
    } else if (watched == Combo1 && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            reloadEngines();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
