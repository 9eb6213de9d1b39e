#pragma once

#include "forms/Layout.h"

#include <QColor>
#include <QRect>

// Window layouts are designed in twips (1/1440 inch). Qt widget coordinates are
// device-independent pixels of 1/96 inch, and Qt scales them to the screen's real
// dpi, so the layouts convert at 96 dpi here whatever the screen.
namespace ui {

using TwipRect = forms::TwipRect;

// One control's designed place, in pixels.
inline QRect toPixels(const TwipRect &r)
{
    return QRect(forms::twipsToPixels(r.left), forms::twipsToPixels(r.top), forms::twipsToPixels(r.width),
                 forms::twipsToPixels(r.height));
}

inline QPoint toPixels(const forms::TwipPoint &p)
{
    return QPoint(forms::twipsToPixels(p.x), forms::twipsToPixels(p.y));
}

// Font sizes are designed in points; pixel sizes keep text and twip layout at the
// same scale whatever dpi the platform reports for fonts.
inline int pointsToPixels(double points)
{
    return forms::pointsToPixels(points);
}

// A designed colour.
inline QColor toColor(const forms::Colour &c)
{
    return QColor(c.red, c.green, c.blue);
}

} // namespace ui
