#pragma once

#include <optional>

// The main window's resize rule, in twips. Each value is what one step sets; a step that
// would set a negative width or height is skipped (nullopt) and the others still apply.
struct Form1Layout
{
    // The window frame the rule's measures assume around the client area.
    static constexpr int frameWidth = 120;
    static constexpr int frameHeight = 655;

    std::optional<int> tabStripWidth;
    std::optional<int> browserWidth; // with browserHeight: one move of each page, both or neither
    std::optional<int> browserHeight;
    int command3Left = 0;
    int combo1Left = 0;
    int command4Left = 0;
    int command5Left = 0;
    int command8Left = 0;
    int command6Left = 0;
    int command7Left = 0;
    int label1Top = 0;
    std::optional<int> label1Width;
    std::optional<int> text1Width;
    std::optional<int> picture2Width;

    static Form1Layout compute(int outerWidth, int outerHeight);
};
