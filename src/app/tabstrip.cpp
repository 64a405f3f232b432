#include "tabstrip.h"

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
    QSize hint = QTabBar::tabSizeHint(index);
    hint.setWidth(qBound(60, hint.width(), maxTabWidth));
    return hint;
}

QSize TabStrip::minimumTabSizeHint(int index) const
{
    QSize hint = QTabBar::minimumTabSizeHint(index);
    hint.setWidth(qMin(hint.width(), maxTabWidth));
    return hint;
}
