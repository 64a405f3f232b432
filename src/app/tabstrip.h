#pragma once

#include <QHash>
#include <QSize>
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
    void changeEvent(QEvent *event) override;

private:
    // The tab bar lays every tab out again on each insert and remove; a tab's size depends only
    // on its caption and whether it is selected, so it is measured once per caption.
    using SizeKey = QPair<QString, bool>;
    mutable QHash<SizeKey, QSize> m_sizes;
    mutable QHash<SizeKey, QSize> m_minimumSizes;
};
