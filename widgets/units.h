#pragma once

#include <QRect>

// Window and control geometry is given in font-relative layout units: at 96 DPI one
// unit is 7/32 pixel across and 1/4 pixel down. Qt's high-DPI scaling does the rest.
[[nodiscard]] constexpr int unitsToPixelsX(int units)
{
    return (units * 7 + 16) / 32;
}
[[nodiscard]] constexpr int unitsToPixelsY(int units)
{
    return (units + 2) / 4;
}
[[nodiscard]] constexpr QRect unitsToPixels(int x, int y, int width, int height)
{
    return QRect(unitsToPixelsX(x), unitsToPixelsY(y), unitsToPixelsX(width), unitsToPixelsY(height));
}
// Pointer positions are reported back in the same units.
[[nodiscard]] constexpr int pixelsToUnitsX(int pixels)
{
    return (pixels * 32 + 3) / 7;
}
[[nodiscard]] constexpr int pixelsToUnitsY(int pixels)
{
    return pixels * 4;
}
