#pragma once

#include <QRect>

// The windows are designed in twips, 15 to a pixel; a measure converts to the nearest pixel.
namespace Twips {

constexpr int perPixel = 15;

constexpr int toPixels(int twips)
{
    return (twips >= 0 ? twips + perPixel / 2 : twips - perPixel / 2) / perPixel;
}

constexpr QRect toPixels(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace Twips
