#pragma once

#include <QString>

namespace SkinColours {

// The style sheet with every colour inside its declaration blocks shifted: hue in degrees, saturation
// and brightness in percent towards full (positive) or none (negative). Selectors such as
// "QWidget#abc" are left alone; (0, 0, 0) returns the sheet unchanged.
QString adjust(const QString &sheet, int hue, int saturation, int brightness);

} // namespace SkinColours
