#include "trend/traces.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

namespace trend {

void Traces::setArea(const QRectF &area)
{
    if (area == m_area)
        return;
    prepareGeometryChange();
    m_area = area;
}

void Traces::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->save();
    painter->setClipRect(m_area);
    // One pixel wide and not antialiased: the raster engine's fast path for
    // lines. A wider pen goes through the stroker, several times slower at
    // thousands of segments.
    painter->setRenderHint(QPainter::Antialiasing, false);
    for (const Line &line : m_lines) {
        if (!line.shown || line.pixels.isEmpty())
            continue;
        QPen pen(line.colour, 1);
        pen.setCosmetic(true);
        painter->setPen(pen);
        if (line.pixels.size() == 1)
            painter->drawPoint(line.pixels.first());
        else
            painter->drawPolyline(line.pixels);
    }
    painter->restore();
}

void toPixels(const QList<QPointF> &points, qint64 fromMs, qint64 toMs, double lo, double hi,
              const QRectF &area, QPolygonF *out)
{
    out->resize(0);
    const double span = double(std::max<qint64>(1, toMs - fromMs));
    const double range = hi > lo ? hi - lo : 1.0;
    const double sx = area.width() / span;
    const double sy = area.height() / range;
    const double left = area.left();
    const double bottom = area.bottom();
    for (const QPointF &p : points)
        out->append(QPointF(left + (p.x() - double(fromMs)) * sx, bottom - (p.y() - lo) * sy));
}

} // namespace trend
