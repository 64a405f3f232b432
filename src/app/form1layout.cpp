#include "form1layout.h"

namespace {
std::optional<int> size(int value)
{
    return value < 0 ? std::nullopt : std::optional<int>(value);
}
} // namespace

Form1Layout Form1Layout::compute(int outerWidth, int outerHeight)
{
    Form1Layout l;
    const int h = outerHeight - 1900;
    const int w = outerWidth - 120;
    l.tabStripWidth = size(w - 300);
    if (w >= 0 && h - 300 >= 0) {
        l.browserWidth = w;
        l.browserHeight = h - 300;
    }
    l.command3Left = w - 2100;
    l.combo1Left = w - 2100;
    l.command4Left = w - 1620;
    l.command5Left = w - 285;
    l.command8Left = w - 1020;
    l.command6Left = w - 1135;
    l.command7Left = w - 360;
    l.label1Top = h - 250;
    l.label1Width = size(w);
    l.text1Width = size(w - 3045);
    l.picture2Width = size(w);
    return l;
}
