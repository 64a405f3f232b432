#include "addresscompletion.h"

#include "history.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

using namespace Qt::StringLiterals;

AddressCompletion::AddressCompletion(QLineEdit *edit, const History *history, const QString &favoritesFolder,
    OpenHandler open, QObject *parent)
    : QObject(parent)
    , m_edit(edit)
    , m_history(history)
    , m_favoritesFolder(favoritesFolder)
    , m_open(std::move(open))
{
    // A child of the window rather than a popup of its own, so typing never leaves the box.
    m_list = new QListWidget(edit->window());
    m_list->setObjectName(u"AddressCompletion"_s);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFont(edit->font());
    m_list->hide();
    connect(m_list, &QListWidget::itemClicked, this,
        [this](QListWidgetItem *item) { choose(m_list->row(item)); });
    connect(m_edit, &QLineEdit::textEdited, this, &AddressCompletion::update);
    edit->installEventFilter(this);
}

bool AddressCompletion::isOpen() const
{
    return m_list->isVisible();
}

void AddressCompletion::update(const QString &text)
{
    if (!m_favoritesRead) {
        m_favorites = Completion::readFavorites(m_favoritesFolder);
        m_favoritesRead = true;
    }
    static const QList<PageEntry> none;
    static const CompletionIndex empty;
    m_suggestions = Completion::suggest(text, m_favorites, m_history ? m_history->pages() : none,
        m_history ? m_history->index() : empty, QDateTime::currentMSecsSinceEpoch());
    m_list->clear();
    if (m_suggestions.isEmpty()) {
        close();
        return;
    }
    for (const Suggestion &s : m_suggestions) {
        const QString title = s.title.isEmpty() ? s.address : s.title;
        const QString mark = s.kind == Suggestion::Kind::Favorite ? u"★ "_s : u"   "_s;
        auto *item = new QListWidgetItem(mark + title + u"  —  "_s + s.address, m_list);
        item->setToolTip(s.address);
    }
    place();
    m_list->show();
    m_list->raise();
}

void AddressCompletion::place()
{
    const QPoint below = m_edit->mapTo(m_list->parentWidget(), QPoint(0, m_edit->height()));
    const int rowHeight = qMax(m_list->sizeHintForRow(0), m_edit->fontMetrics().height() + 4);
    const int height = rowHeight * int(m_suggestions.size()) + 2 * m_list->frameWidth();
    const int width = qMax(m_edit->width(), 360);
    m_list->setGeometry(
        below.x(), below.y(), qMin(width, m_list->parentWidget()->width() - below.x()), height);
}

void AddressCompletion::close()
{
    m_list->hide();
    m_list->clearSelection();
    m_list->setCurrentRow(-1);
}

void AddressCompletion::step(int delta)
{
    const int count = m_list->count();
    if (count == 0)
        return;
    int row = m_list->currentRow() + delta;
    if (row < -1)
        row = count - 1;
    if (row >= count)
        row = -1;
    m_list->setCurrentRow(row);
    if (row < 0)
        m_list->clearSelection();
}

void AddressCompletion::choose(int row)
{
    if (row < 0 || row >= m_suggestions.size())
        return;
    const Suggestion chosen = m_suggestions.at(row);
    close();
    m_edit->setText(chosen.address);
    if (m_open)
        m_open(chosen);
}

bool AddressCompletion::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        // The favorites folder may have changed since the box was last used.
        m_favoritesRead = false;
        break;
    case QEvent::FocusOut:
        close();
        break;
    case QEvent::ShortcutOverride:
        // Esc closes the list before it stops the page.
        if (isOpen() && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress: {
        if (!isOpen())
            break;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            step(key == Qt::Key_Down ? 1 : -1);
            return true;
        }
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            const int row = m_list->currentRow();
            if (row >= 0) {
                choose(row);
                return true;
            }
            // Nothing chosen: the box's own Enter rule.
            close();
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
