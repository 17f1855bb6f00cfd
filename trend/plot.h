// One plotted value inside the dock: what it reads, its samples, its key in
// the legend and its line. Only the dock's own files see it.
#pragma once

#include "trend/probe.h"
#include "trend/series.h"
#include "trend/trenddock.h"

#include <QColor>
#include <QList>
#include <QPointF>

class QToolButton;

namespace trend {

struct TrendDock::Plot
{
    explicit Plot(const Probe &p) : probe(p) {}
    Probe probe;
    Series ring;
    QToolButton *key = nullptr; // its entry in the legend
    QColor colour;
    bool shown = true;     // a click on the key hides the line
    QList<QPointF> points; // the reduced window, reused
};

} // namespace trend
