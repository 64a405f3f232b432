#pragma once

#include <QTabBar>

// The tab strip keeps each caption's whole text but draws long ones elided at a sensible width,
// so one long title never makes a tab wider than the window.
class TabStrip final : public QTabBar
{
    Q_OBJECT

public:
    static constexpr int maxTabWidth = 220;

    explicit TabStrip(QWidget *parent = nullptr);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
};
