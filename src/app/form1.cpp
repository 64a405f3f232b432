#include "form1.h"

#include "addressboxclicks.h"
#include "dialogs.h"
#include "favoritesstore.h"
#include "form1layout.h"
#include "history.h"
#include "historyhook.h"
#include "pagebinder.h"
#include "pageset.h"
#include "pagetext.h"
#include "popuppolicy.h"
#include "processinfo.h"
#include "sessionkeeper.h"
#include "tabstrip.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace {

using Twips::toPixels;

constexpr int px(int twips)
{
    return toPixels(twips);
}

constexpr QRect pxRect(int left, int top, int width, int height)
{
    return toPixels(left, top, width, height);
}

// "微软雅黑" is asked for; where it is missing the desktop's CJK font stands in.
QFont uiFont(qreal points, const QString &family = QStringLiteral("微软雅黑"), bool bold = false)
{
    QFont font;
    font.setFamilies({ family, QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("WenQuanYi Micro Hei") });
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

} // namespace

Form1::Form1(const QString &programFolder, BrowserFactory factory, Dialogs &dialogs,
    const std::optional<QString> &aheadFor, QWidget *parent)
    : QWidget(parent)
    , m_programFolder(programFolder)
    , m_dialogs(dialogs)
    , m_store(std::make_unique<FavoritesStore>(programFolder))
    , m_factory(std::move(factory))
{
    setObjectName(QStringLiteral("Form1"));
    // The open pages are kept beside the other data files.
    m_session = new SessionKeeper(programFolder, this);
    setWindowTitle(QStringLiteral("Kovalis"));
    m_history = new History(m_programFolder, this, History::Opening::Deferred);
    connect(m_history, &History::loaded, this, [this](const QString &message) {
        if (!message.isEmpty())
            m_dialogs.MsgBox(message);
    });
    m_factory = HistoryHook::recording(m_history, std::move(m_factory));
    // The first page's browser: this starts the engine.
    m_pages = new PageSet(m_factory, m_dialogs, PageSet::steadyClock(), this);
    ProcessInfo::trace("engine");
    if (aheadFor) {
        home = m_store->homeAtStartup();
        m_aheadTo = firstAddress(*aheadFor);
        if (m_aheadTo) {
            // What the page tells meanwhile (a blank page even loads) waits for the controls.
            m_pages->addFirstPage();
            m_pages->holdShown();
            m_pages->browser(0)->NavigateAhead(*m_aheadTo);
        }
        ProcessInfo::trace("ahead");
    }
    // Opened once the first page is on its way: on two cores it would slow the engine down.
    m_history->start();
    // Icons load the SVG plugin: after the first page too.
    setWindowIcon(QIcon(QStringLiteral(":/icons/kovalis.svg")));
    createControls();
    m_pages->releaseShown();
    createShortcuts();
    resize(px(9810), px(6855));
    arrange();
}

Form1::~Form1()
{
    // The pages go before the page area that holds their views.
    delete m_pages;
}

void Form1::createControls()
{
    for (int i = 1; i <= 13; ++i)
        ImageList1.append(QIcon(QStringLiteral(":/icons/image%1.svg").arg(i, 2, 10, QLatin1Char('0'))));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(StatusBar1);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel1"));
    m_statusPanel->setMinimumWidth(px(1440));
    // Hovered addresses, titles and file names come from pages: never markup.
    m_statusPanel->setTextFormat(Qt::PlainText);
    StatusBar1->addWidget(m_statusPanel, 1);
    m_allowPopups = new QToolButton(StatusBar1);
    m_allowPopups->setObjectName(QStringLiteral("AllowPopups"));
    m_allowPopups->hide();
    StatusBar1->addPermanentWidget(m_allowPopups);

    Picture2 = new QWidget(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(pxRect(0, 1260, 8565, 5310));

    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(pxRect(0, 405, 9810, 850));
    Picture1->setAutoFillBackground(true);

    Command8 = button(Picture1, "Command8", QStringLiteral("前进"), pxRect(6000, 480, 735, 255));
    Command8->setIcon(ImageList1.at(11));
    Command8->setFont(uiFont(6.75));
    Command8->hide();

    Command5 = button(Picture1, "Command5", QStringLiteral("×"), pxRect(6720, 480, 255, 255));
    Command5->setFont(uiFont(12));
    Command5->setToolTip(QStringLiteral("关闭网页"));

    TabStrip1 = new TabStrip(Picture1);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->setGeometry(pxRect(0, 480, 6735, 495));
    TabStrip1->setToolTip(QStringLiteral("双击关闭"));
    TabStrip1->addTab(QString());

    Text1 = new QLineEdit(Picture1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(pxRect(840, 60, 3975, 270));
    Text1->setFont(uiFont(9));
    Text1->installEventFilter(this);

    Command6 = button(Picture1, "Command6", QStringLiteral("搜索"), pxRect(5880, 0, 1095, 375));
    Command6->setToolTip(QStringLiteral("百度搜索"));
    Command6->setFont(uiFont(12));

    Command2 = button(Picture1, "Command2", QStringLiteral("地址："), pxRect(50, 60, 735, 285));
    Command2->setFont(uiFont(9.75));
    Command2->setEnabled(false);

    Command1 = button(Picture1, "Command1", QStringLiteral("<"), pxRect(0, 0, 375, 375));
    Command1->hide();

    Command4 = button(Picture1, "Command4", QStringLiteral("×"), pxRect(5400, 0, 495, 375));
    Command4->setFont(uiFont(12));
    Command3 = button(Picture1, "Command3", QStringLiteral("→"), pxRect(4920, 0, 495, 375));
    Command3->setFont(uiFont(12));
    new AddressBoxClicks(Text1, Command3);

    Label1 = new QLabel(QStringLiteral("地址："), Picture1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(pxRect(0, 0, 855, 420));
    Label1->setFont(uiFont(10.5));
    Label1->lower();

    createToolbar();

    connect(Command5, &QPushButton::clicked, this, [this] { m_pages->closeCurrent(); });
    connect(Command3, &QPushButton::clicked, this, &Form1::goToAddress);
    connect(Command4, &QPushButton::clicked, this, &Form1::stopLoading);
    connect(Command6, &QPushButton::clicked, this, &Form1::search);
    connect(Command7, &QPushButton::clicked, this, &Form1::addSearchEngine);

    ProcessInfo::trace("controls");
    PageBinder::Controls controls;
    controls.window = this;
    controls.tabStrip = TabStrip1;
    controls.addressBox = Text1;
    controls.statusPanel = m_statusPanel;
    controls.pageArea = Picture2;
    new PageBinder(*m_pages, controls, this);
    keepSession();
    connectPopupBlocker();
}

void Form1::keepSession()
{
    SessionKeeper::Pages pages;
    pages.list = [this] {
        QList<SessionFile::Page> list;
        for (qint16 page : m_pages->pageList()) {
            if (Browser *b = m_pages->browser(page))
                list.append({ b->LocationURL(), b->LocationName() });
        }
        return list;
    };
    pages.front = [this] { return int(m_pages->pageList().indexOf(m_pages->curP())); };
    pages.open = [this](const QString &address) {
        m_pages->NewP();
        if (Browser *b = m_pages->current())
            b->Navigate(address);
    };
    pages.select = [this](int position) { TabStrip1->setCurrentIndex(position); };
    m_session->setPages(std::move(pages));
    // Page 0 was made with the page set; the others are watched as they are made.
    m_session->watch(m_pages->browser(0));
    connect(m_pages, &PageSet::pageMade, m_session, &SessionKeeper::watch);
    connect(m_pages, &PageSet::pageShown, m_session, &SessionKeeper::noteChange);
    connect(m_pages, &PageSet::tabRenamed, m_session, &SessionKeeper::noteChange);
    connect(m_pages, &PageSet::tabRemoved, m_session, &SessionKeeper::noteChange);
    connect(m_session, &SessionKeeper::message, m_statusPanel, &QLabel::setText);
}

void Form1::connectPopupBlocker()
{
    // A blocked popup of the page in front offers one button that allows the site until the
    // program ends; another page in front takes the offer away.
    connect(&PopupPolicy::instance(), &PopupPolicy::blocked, this,
        [this](QObject *browser, const QString &origin) {
            if (browser != m_pages->current())
                return;
            m_blockedIn = browser;
            m_blockedOrigin = origin;
            // The load messages that follow replace the status text; the button stays.
            m_allowPopups->setText(
                QStringLiteral("已阻止 %1 打开的弹出窗口，点此允许").arg(PageText::site(origin)));
            m_allowPopups->setToolTip(QStringLiteral("允许 %1 打开弹出窗口，直到关闭 Kovalis").arg(origin));
            m_allowPopups->show();
        });
    connect(m_allowPopups, &QToolButton::clicked, this, [this] {
        PopupPolicy::instance().allow(m_blockedOrigin);
        m_allowPopups->hide();
        m_statusPanel->setText(
            QStringLiteral("已允许 %1 打开弹出窗口，直到关闭 Kovalis").arg(m_blockedOrigin));
    });
    // Any route counts: a tab chosen, a new page, the page in front closed.
    connect(m_pages, &PageSet::pageShown, this, [this](Browser *shown) {
        if (shown != m_blockedIn)
            m_allowPopups->hide();
    });
}

void Form1::createToolbar()
{
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setGeometry(pxRect(0, 0, 9810, 405));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar1->setFont(uiFont(9));

    struct ButtonDesign
    {
        QString caption;
        QString tooltip;
        int picture;
    };
    const ButtonDesign buttons[] = {
        { QStringLiteral("后退"), QString(), 10 },
        { QStringLiteral("前进"), QString(), 11 },
        { QStringLiteral("新页"), QStringLiteral("打开新空白页"), 4 },
        { QStringLiteral("主页"), QStringLiteral("打开主页"), 3 },
        { QStringLiteral("收藏夹"), QStringLiteral("打开收藏夹"), 6 },
        { QStringLiteral("收藏"), QStringLiteral("收藏网址"), 5 },
        { QStringLiteral("刷新"), QStringLiteral("刷新网页"), 7 },
        { QStringLiteral("关于"), QString(), 13 },
    };
    int index = 0;
    for (const ButtonDesign &design : buttons) {
        ++index;
        QAction *action = Toolbar1->addAction(ImageList1.at(design.picture - 1), design.caption);
        action->setObjectName(QStringLiteral("Toolbar1Button%1").arg(index));
        // An empty tooltip would fall back to the caption.
        action->setToolTip(design.tooltip.isEmpty() ? design.caption : design.tooltip);
        connect(
            action, &QAction::triggered, this, [this, index] { runToolbarCommand(ToolbarCommand(index)); });
        m_toolbarButtons.append(action);
    }

    Combo1 = new QComboBox(Toolbar1);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(pxRect(6960, 120, 1695, 300));
    Combo1->setToolTip(QStringLiteral("按回车键刷新"));
    Combo1->installEventFilter(this);

    Command7 = button(Toolbar1, "Command7", QStringLiteral("+"), pxRect(8640, 120, 250, 250));
    Command7->setFont(uiFont(12, QStringLiteral("宋体"), true));
    Command7->setToolTip(QStringLiteral("添加搜索引擎"));
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void Form1::arrange()
{
    // Controls aligned to the window's edges follow it, as their containers would.
    const int clientWidth = width();
    const int statusHeight = px(285);
    Toolbar1->setGeometry(0, 0, clientWidth, px(405));
    Picture1->setGeometry(0, px(405), clientWidth, px(850));
    StatusBar1->setGeometry(0, height() - statusHeight, clientWidth, statusHeight);
    Picture2->setGeometry(0, px(1260), Picture2->width(), qMax(0, height() - px(1260) - statusHeight));
    applyResizeRule();
}

void Form1::applyResizeRule()
{
    const int twips = Twips::perPixel;
    const Form1Layout l = Form1Layout::compute(
        width() * twips + Form1Layout::frameWidth, height() * twips + Form1Layout::frameHeight);
    if (l.tabStripWidth)
        TabStrip1->resize(px(*l.tabStripWidth), TabStrip1->height());
    if (l.browserWidth) {
        for (qint16 page : m_pages->pageList()) {
            if (Browser *b = m_pages->browser(page))
                b->widget()->setGeometry(0, 0, px(*l.browserWidth), px(*l.browserHeight));
        }
    }
    Command3->move(px(l.command3Left), Command3->y());
    Combo1->move(px(l.combo1Left), Combo1->y());
    Command4->move(px(l.command4Left), Command4->y());
    Command5->move(px(l.command5Left), Command5->y());
    Command8->move(px(l.command8Left), Command8->y());
    Command6->move(px(l.command6Left), Command6->y());
    Command7->move(px(l.command7Left), Command7->y());
    Label1->move(Label1->x(), px(l.label1Top));
    if (l.label1Width)
        Label1->resize(px(*l.label1Width), Label1->height());
    if (l.text1Width)
        Text1->resize(px(*l.text1Width), Text1->height());
    if (l.picture2Width)
        Picture2->resize(px(*l.picture2Width), Picture2->height());
}

void Form1::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    m_session->closeNormally();
    // Closing the main window ends the program at once, whatever other windows are open.
    QApplication::exit(0);
}
