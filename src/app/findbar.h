#pragma once

#include <QWidget>

class QLineEdit;

// The find bar at the bottom of the page area: Enter finds the next match, Shift+Enter the
// previous one, Esc closes it.
class FindBar final : public QWidget
{
    Q_OBJECT

public:
    // pageArea is the widget whose bottom edge the bar keeps to; the bar is its sibling.
    FindBar(QWidget *pageArea, QWidget *parent);

    // Shows the bar with its text selected, ready for typing.
    void open();
    void closeBar();
    QString text() const;

Q_SIGNALS:
    void findRequested(const QString &text, bool backward);
    // The bar closed: the page's marks are to be cleared.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();
    void find(bool backward);

    QWidget *m_pageArea;
    QLineEdit *m_text;
};
