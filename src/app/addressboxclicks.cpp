#include "addressboxclicks.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>

AddressBoxClicks::AddressBoxClicks(QLineEdit *box, QWidget *goButton)
    : QObject(box)
    , m_box(box)
    , m_goButton(goButton)
{
    box->installEventFilter(this);
}

bool AddressBoxClicks::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_box)
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease
        && type != QEvent::MouseButtonDblClick)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint at = mouse->position().toPoint();
    switch (type) {
    case QEvent::MouseButtonPress:
        if (mouse->button() == Qt::LeftButton) {
            m_pressed = true;
            m_pressedAt = at;
            // Shift with a press extends the selection.
            m_selecting = mouse->modifiers().testFlag(Qt::ShiftModifier);
        }
        return false;
    case QEvent::MouseMove:
        if (m_pressed && (at - m_pressedAt).manhattanLength() >= QApplication::startDragDistance())
            m_selecting = true;
        return false;
    case QEvent::MouseButtonRelease:
        if (mouse->button() == Qt::LeftButton && m_pressed) {
            m_pressed = false;
            if (!m_selecting)
                click();
        }
        return false;
    default: // the double click: the release after it is no click of its own
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_pressed = false;
        m_box->selectAll();
        return true;
    }
}

void AddressBoxClicks::click()
{
    m_goButton->setFocus();
    m_box->setFocus();
}
