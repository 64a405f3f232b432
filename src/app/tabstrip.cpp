#include "tabstrip.h"

#include <QEvent>

TabStrip::TabStrip(QWidget *parent)
    : QTabBar(parent)
{
    setElideMode(Qt::ElideRight);
    setExpanding(false);
    setUsesScrollButtons(true);
    setDrawBase(false);
}

QSize TabStrip::tabSizeHint(int index) const
{
    const SizeKey key(tabText(index), index == currentIndex());
    auto it = m_sizes.constFind(key);
    if (it == m_sizes.cend()) {
        QSize hint = QTabBar::tabSizeHint(index);
        hint.setWidth(qBound(60, hint.width(), maxTabWidth));
        it = m_sizes.insert(key, hint);
    }
    return *it;
}

QSize TabStrip::minimumTabSizeHint(int index) const
{
    const SizeKey key(tabText(index), index == currentIndex());
    auto it = m_minimumSizes.constFind(key);
    if (it == m_minimumSizes.cend()) {
        QSize hint = QTabBar::minimumTabSizeHint(index);
        hint.setWidth(qMin(hint.width(), maxTabWidth));
        it = m_minimumSizes.insert(key, hint);
    }
    return *it;
}

void TabStrip::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) {
        m_sizes.clear();
        m_minimumSizes.clear();
    }
    QTabBar::changeEvent(event);
}
