#include "clicklabel.h"

#include <QMouseEvent>

ClickLabel::ClickLabel(QWidget *parent)
    : QLabel(parent)
{
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // A press that is dragged off the label before release is no click.
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    Q_EMIT clicked();
}
