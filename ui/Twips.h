#pragma once

#include "forms/Layout.h"

#include <QRect>
#include <QtMath>

// Window layouts are designed in twips (1/1440 inch). Qt widget coordinates are
// device-independent pixels of 1/96 inch, and Qt scales them to the screen's real
// dpi, so 15 twips make one pixel here at every dpi.
namespace ui {

inline constexpr double kTwipsPerPixel = 1440.0 / 96.0;

inline int twipsToPixels(int twips)
{
    return qRound(twips / kTwipsPerPixel);
}

// One control's designed place: left, top, width and height in twips.
using TwipRect = forms::TwipRect;

inline QRect toPixels(const TwipRect &r)
{
    return QRect(twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
                 twipsToPixels(r.height));
}

// Font sizes are designed in points; pixel sizes keep text and twip layout at the
// same scale whatever dpi the platform reports for fonts.
inline int pointsToPixels(double points)
{
    return qRound(points * 96.0 / 72.0);
}

} // namespace ui
