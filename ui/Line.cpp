#include "ui/Line.h"

#include "ui/Twips.h"

#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace ui {

Line::Line(QWidget *parent, const forms::TwipPoint &fromTwips, const forms::TwipPoint &toTwips, const QColor &colour,
           int widthPixels)
    : QWidget(parent), m_colour(colour)
{
    Q_ASSERT(fromTwips.x == toTwips.x || fromTwips.y == toTwips.y);
    const QPoint from = toPixels(fromTwips);
    const QPoint to = toPixels(toTwips);
    const int before = (widthPixels - 1) / 2;
    if (from.y() == to.y())
        setGeometry(std::min(from.x(), to.x()), from.y() - before, std::abs(to.x() - from.x()), widthPixels);
    else
        setGeometry(from.x() - before, std::min(from.y(), to.y()), widthPixels, std::abs(to.y() - from.y()));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void Line::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), m_colour);
}

} // namespace ui
