#include "findbar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindBar::FindBar(QWidget *pageArea, QWidget *parent)
    : QWidget(parent)
    , m_pageArea(pageArea)
    , m_text(new QLineEdit(this))
{
    setObjectName(QStringLiteral("FindBar"));
    setAutoFillBackground(true);
    m_text->setObjectName(QStringLiteral("FindText"));
    m_text->setPlaceholderText(QStringLiteral("在网页中查找"));
    m_text->installEventFilter(this);

    auto *next = new QPushButton(QStringLiteral("下一个"), this);
    auto *previous = new QPushButton(QStringLiteral("上一个"), this);
    auto *shut = new QPushButton(QStringLiteral("×"), this);
    shut->setToolTip(QStringLiteral("关闭查找栏"));
    for (QPushButton *b : { next, previous, shut })
        b->setFocusPolicy(Qt::NoFocus);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(new QLabel(QStringLiteral("查找："), this));
    layout->addWidget(m_text, 1);
    layout->addWidget(next);
    layout->addWidget(previous);
    layout->addWidget(shut);

    connect(next, &QPushButton::clicked, this, [this] { find(false); });
    connect(previous, &QPushButton::clicked, this, [this] { find(true); });
    connect(shut, &QPushButton::clicked, this, &FindBar::closeBar);
    // The page area moves and grows with the window; the bar follows its bottom edge.
    m_pageArea->installEventFilter(this);
    hide();
}

QString FindBar::text() const
{
    return m_text->text();
}

void FindBar::open()
{
    place();
    show();
    raise();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

void FindBar::closeBar()
{
    if (isHidden())
        return;
    hide();
    Q_EMIT closed();
}

void FindBar::find(bool backward)
{
    if (!m_text->text().isEmpty())
        Q_EMIT findRequested(m_text->text(), backward);
}

void FindBar::place()
{
    const int h = sizeHint().height();
    const QRect area = m_pageArea->geometry();
    setGeometry(area.left(), area.bottom() + 1 - h, area.width(), h);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pageArea) {
        if (isVisible() && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
            place();
        return false;
    }
    if (watched != m_text)
        return false;
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool escape = key->key() == Qt::Key_Escape;
    if (!enter && !escape)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Esc here closes the bar rather than stopping the page.
        event->accept();
        return true;
    }
    if (escape)
        closeBar();
    else
        find(key->modifiers() & Qt::ShiftModifier);
    return true;
}
