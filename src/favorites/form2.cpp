#include "form2.h"

#include "dialogs.h"
#include "failure.h"
#include "favoritesstore.h"
#include "twips.h"

#include <QAction>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <exception>

using namespace Qt::StringLiterals;

namespace {
constexpr int kListWidth = Twips::toPixels(4695);
constexpr int kListHeight = Twips::toPixels(2970);

QPointer<Form2> &openWindow()
{
    static QPointer<Form2> window;
    return window;
}
} // namespace

Form2::Form2(FavoritesStore &store, Dialogs &dialogs, OpenFile openfile)
    : QMainWindow(
        nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_store(store)
    , m_dialogs(dialogs)
    , m_openfile(std::move(openfile))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"收藏夹"_s);
    setFont(QFont(u"微软雅黑"_s));

    menu = new QMenuBar(this);
    menu->setObjectName(u"menu"_s);
    menu->setNativeMenuBar(false); // the commands stay in this small window
    const QString captions[] = { u"打开"_s, u"删除"_s, u"修改"_s, u"设为主页"_s };
    for (int i = 0; i < 4; ++i) {
        QAction *action = menu->addAction(captions[i]);
        action->setObjectName(u"menu%1"_s.arg(i));
        connect(action, &QAction::triggered, this, [this, i] { runCommand(i); });
    }
    setMenuBar(menu);

    // The list keeps its first size when the window is resized.
    auto *client = new QWidget(this);
    File1 = new QListWidget(client);
    File1->setObjectName(u"File1"_s);
    File1->setGeometry(0, 0, kListWidth, kListHeight);
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    setCentralWidget(client);
    resize(kListWidth, kListHeight + menu->sizeHint().height());

    connect(File1, &QListWidget::itemSelectionChanged, this, &Form2::selectionChanged);
    connect(File1, &QListWidget::itemDoubleClicked, this, &Form2::doubleClicked);

    load();
}

Form2 *Form2::showFavorites(FavoritesStore &store, Dialogs &dialogs, OpenFile openfile)
{
    QPointer<Form2> &window = openWindow();
    if (!window)
        window = new Form2(store, dialogs, std::move(openfile));
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void Form2::load()
{
    m_listedFolder = m_store.folderPath();
    try {
        m_store.ensureFolder();
    } catch (const Failure &failure) {
        m_dialogs.MsgBox(failure.description());
    }
    readList();
    if (File1->count() > 0)
        File1->setCurrentRow(0);
}

void Form2::readList()
{
    // Re-reading is not a selection: selFile stays as it was.
    const QSignalBlocker blocker(File1);
    File1->clear();
    File1->addItems(FavoritesStore::listFiles(m_listedFolder));
}

void Form2::selectionChanged()
{
    const QString name = selectedName();
    if (!name.isEmpty())
        m_selFile = m_listedFolder + u'/' + name;
}

QString Form2::selectedName() const
{
    const QList<QListWidgetItem *> items = File1->selectedItems();
    return items.isEmpty() ? QString() : items.first()->text();
}

void Form2::doubleClicked(QListWidgetItem *)
{
    runCommand(Open);
    close();
}

void Form2::runCommand(int index)
{
    try {
        execute(index);
    } catch (const Failure &) {
        // A failing step ends the command without a message; the list stays as it is.
    } catch (const std::exception &) {
    }
}

void Form2::execute(int index)
{
    switch (index) {
    case Open:
        m_openfile(m_selFile);
        break;
    case Delete:
        m_store.deleteFavorite(m_selFile);
        break;
    case Rename: {
        const QString answer = m_dialogs.InputBox(u"请输入新名称。"_s, selectedName());
        m_store.renameFavorite(m_selFile, m_listedFolder, answer);
        break;
    }
    case SetAsHomepage:
        m_store.setAsHomepage(m_selFile, m_listedFolder);
        m_dialogs.MsgBox(u"已经设置为主页!"_s);
        close();
        return;
    default:
        return;
    }
    readList();
}

void Form2::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
