#pragma once

#include <QObject>
#include <QPoint>

class QLineEdit;
class QWidget;

// The address box's click and double click. A single click moves the focus to the go button and
// back; a double click selects the whole text. Only a press and release at one place is a click:
// a drag or a shift-click that selects text, and the release that ends a double click, are not,
// so the round trip (which clears the selection) never undoes a selection made with the mouse.
class AddressBoxClicks final : public QObject
{
    Q_OBJECT

public:
    // Watches box for as long as it lives.
    AddressBoxClicks(QLineEdit *box, QWidget *goButton);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void click();

    QLineEdit *m_box;
    QWidget *m_goButton;
    QPoint m_pressedAt;
    bool m_pressed = false;
    bool m_selecting = false;
};
