// The plotted lines, drawn straight onto the chart's scene over its plot
// area. The chart keeps the axes, the grid and the frame; a line series of
// its own would compute an outline and a hover shape of every line each
// time its points change, which costs several milliseconds a tick at eight
// series of an hour. This item only draws polylines already in pixels.
#pragma once

#include <QColor>
#include <QGraphicsItem>
#include <QPolygonF>
#include <QRectF>
#include <vector>

namespace trend {

class Traces : public QGraphicsItem
{
public:
    struct Line
    {
        QColor colour;
        bool shown = true;
        QPolygonF pixels; // in scene coordinates, reused from tick to tick
    };

    // The chart's plot area: where the lines may draw.
    void setArea(const QRectF &area);
    QRectF area() const { return m_area; }
    // Filled by the owner, then `changed()` to repaint.
    std::vector<Line> &lines() { return m_lines; }
    void changed() { update(); }

    QRectF boundingRect() const override { return m_area; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QRectF m_area;
    std::vector<Line> m_lines;
};

// Maps (milliseconds, value) points into `area`, for a window of time
// [fromMs, toMs] and a value range [lo, hi]. `out` is reused.
void toPixels(const QList<QPointF> &points, qint64 fromMs, qint64 toMs, double lo, double hi,
              const QRectF &area, QPolygonF *out);

} // namespace trend
