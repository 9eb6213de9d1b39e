#pragma once

#include "forms/Layout.h"

#include <QColor>
#include <QPoint>
#include <QWidget>

namespace ui {

// A straight horizontal or vertical line of a colour and a width in pixels, between
// two points of its parent given in twips. Like a pen line on Windows, the end point
// itself is not drawn, and a wide line spreads evenly around its coordinate, the
// extra pixel going below (or right of) it.
class Line : public QWidget {
    Q_OBJECT
public:
    Line(QWidget *parent, const forms::TwipPoint &fromTwips, const forms::TwipPoint &toTwips, const QColor &colour,
         int widthPixels);

    QColor colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_colour;
};

} // namespace ui
