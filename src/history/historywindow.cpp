#include "historywindow.h"

#include "history.h"

#include <QAction>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kVisitRole = Qt::UserRole;

QPointer<HistoryWindow> &openWindow()
{
    static QPointer<HistoryWindow> window;
    return window;
}

QString dayCaption(const QDate &day)
{
    const QDate today = QDate::currentDate();
    const QString date = QLocale(QLocale::Chinese, QLocale::China).toString(day, u"yyyy年M月d日 dddd"_s);
    if (day == today)
        return u"今天 - "_s + date;
    if (day == today.addDays(-1))
        return u"昨天 - "_s + date;
    return date;
}

} // namespace

HistoryWindow::HistoryWindow(History &history, OpenAddress open, Confirm confirm)
    : QWidget(nullptr, Qt::Window)
    , m_history(history)
    , m_open(std::move(open))
    , m_confirm(std::move(confirm))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(u"HistoryWindow"_s);
    setWindowTitle(u"历史记录"_s);
    setFont(QFont(u"微软雅黑"_s));

    m_search = new QLineEdit(this);
    m_search->setObjectName(u"historySearch"_s);
    m_search->setPlaceholderText(u"搜索历史记录（网址、标题或拼音）"_s);
    m_search->setClearButtonEnabled(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(u"historyList"_s);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({ u"时间"_s, u"标题"_s, u"网址"_s });
    m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_list->setColumnWidth(1, 260);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    auto *openButton = new QPushButton(u"打开"_s, this);
    auto *deleteButton = new QPushButton(u"删除此项"_s, this);
    auto *siteButton = new QPushButton(u"删除此网站的记录"_s, this);
    auto *clearButton = new QPushButton(u"清除全部历史记录"_s, this);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : { openButton, deleteButton, siteButton })
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(clearButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(openButton, &QPushButton::clicked, this, &HistoryWindow::openSelected);
    connect(deleteButton, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
    connect(siteButton, &QPushButton::clicked, this, &HistoryWindow::deleteSelectedSite);
    connect(clearButton, &QPushButton::clicked, this, &HistoryWindow::clearAll);
    connect(m_search, &QLineEdit::textChanged, this, &HistoryWindow::refresh);
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        if (item->parent())
            openSelected();
    });
    connect(m_list, &QTreeWidget::customContextMenuRequested, this, &HistoryWindow::showMenu);
    connect(&m_history, &History::changed, this, &HistoryWindow::refresh);
    refresh();
}

HistoryWindow *HistoryWindow::showHistory(History &history, OpenAddress open, Confirm confirm)
{
    QPointer<HistoryWindow> &window = openWindow();
    if (!window)
        window = new HistoryWindow(history, std::move(open), std::move(confirm));
    window->show();
    window->raise();
    window->activateWindow();
    window->m_search->setFocus();
    return window;
}

void HistoryWindow::refresh()
{
    const quint64 round = ++m_round;
    m_history.queryVisits(m_search->text(), listed, this, [this, round](const QList<Visit> &visits) {
        // An older answer that arrives late is not shown over a newer one.
        if (round == m_round)
            fill(visits);
    });
}

void HistoryWindow::fill(const QList<Visit> &visits)
{
    const Visit selected = selectedVisit();
    m_list->clear();
    QTreeWidgetItem *day = nullptr;
    QDate dayDate;
    for (const Visit &visit : visits) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(visit.time);
        if (!day || time.date() != dayDate) {
            dayDate = time.date();
            day = new QTreeWidgetItem(m_list, { dayCaption(dayDate) });
            day->setFirstColumnSpanned(true);
            day->setExpanded(true);
        }
        auto *row = new QTreeWidgetItem(day,
            { time.toString(u"HH:mm"_s), visit.title.isEmpty() ? visit.address : visit.title,
                visit.address });
        row->setData(0, kVisitRole, QVariant::fromValue(visit.id));
        row->setData(1, kVisitRole, visit.time);
        row->setToolTip(1, visit.title);
        row->setToolTip(2, visit.address);
        if (visit.id == selected.id)
            m_list->setCurrentItem(row);
    }
    m_list->expandAll();
    Q_EMIT filled();
}

Visit HistoryWindow::selectedVisit() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    if (!item || !item->parent())
        return {};
    return { item->data(0, kVisitRole).toLongLong(), item->text(2), item->toolTip(1),
        item->data(1, kVisitRole).toLongLong() };
}

QStringList HistoryWindow::shownLines() const
{
    QStringList lines;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *day = m_list->topLevelItem(i);
        lines.append(day->text(0));
        for (int j = 0; j < day->childCount(); ++j)
            lines.append(u"  "_s + day->child(j)->text(1) + u'|' + day->child(j)->text(2));
    }
    return lines;
}

void HistoryWindow::openSelected()
{
    const Visit visit = selectedVisit();
    if (visit.id && m_open)
        m_open(visit.address);
}

void HistoryWindow::deleteSelected()
{
    const Visit visit = selectedVisit();
    if (visit.id)
        m_history.removeVisit(visit);
}

void HistoryWindow::deleteSelectedSite()
{
    const Visit visit = selectedVisit();
    if (!visit.id)
        return;
    const QString host = QUrl(visit.address).host();
    if (m_confirm && !m_confirm(u"删除网站 %1 的全部历史记录？"_s.arg(host.isEmpty() ? visit.address : host)))
        return;
    m_history.removeSite(host);
}

void HistoryWindow::clearAll()
{
    if (m_confirm && !m_confirm(u"清除全部历史记录？此操作不能撤销。"_s))
        return;
    m_history.clear();
}

void HistoryWindow::showMenu(const QPoint &position)
{
    QTreeWidgetItem *item = m_list->itemAt(position);
    if (!item || !item->parent())
        return;
    m_list->setCurrentItem(item);
    QMenu menu(this);
    menu.addAction(u"打开"_s, this, &HistoryWindow::openSelected);
    menu.addAction(u"删除此项"_s, this, &HistoryWindow::deleteSelected);
    menu.addAction(u"删除此网站的记录"_s, this, &HistoryWindow::deleteSelectedSite);
    menu.exec(m_list->viewport()->mapToGlobal(position));
}
