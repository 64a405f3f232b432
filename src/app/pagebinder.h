#pragma once

#include <QObject>

class Browser;
class PageSet;
class QLabel;
class QLineEdit;
class QTabBar;
class QWidget;

// Draws the page set in the main window: one tab per page in the tab strip, the page in front's
// address and title in the address box and the caption, the status text in the status bar, and
// the browsers' views in the page area, where only the page in front is shown. What the user
// does on the tab strip goes back to the page set.
class PageBinder final : public QObject
{
    Q_OBJECT

public:
    struct Controls
    {
        QWidget *window = nullptr;
        QTabBar *tabStrip = nullptr;
        QLineEdit *addressBox = nullptr;
        QLabel *statusPanel = nullptr;
        QWidget *pageArea = nullptr;
    };

    PageBinder(PageSet &pages, const Controls &controls, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void adopt(Browser *browser);
    void show(Browser *browser);
    static void hide(Browser *browser);
    static void focus(Browser *browser);
    void removeTab(int position);
    void selectTab(int position);

    PageSet &m_pages;
    Controls m_controls;
};
