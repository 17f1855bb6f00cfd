// Puts the trend into the window: the dock (View menu "Trend"), the "Plot"
// entry in the context menu of every value the pages offer, and the hooks
// that let each poll tick sample the plotted values.
#pragma once

#include <QList>

class Clock;
class Dialogs;
class QMainWindow;
class QMenu;
class QTabWidget;

namespace axis {
class AxisPage;
}
namespace monitor {
class Poller;
}
namespace ui {
class Page;
}
namespace wire {
class Link;
}

namespace trend {

class TrendDock;

// Called once, from the window's constructor, after the pages exist. Docks
// the trend in `window` and adds its toggle to `viewMenu`. `pages` are the
// monitor pages in tab order: only their ticks sample, and their
// plottables() get the "Plot" entry. A change of page in `tabs` reselects
// the board of the axis reads, which follow the board `axisPage` reads; a
// tab that is none of `pages` stops the plot. Everything outlives the dock.
TrendDock *install(QMainWindow &window, QMenu &viewMenu, QTabWidget &tabs, wire::Link &link, Dialogs &dialogs,
                   Clock &clock, monitor::Poller &poller, const QList<ui::Page *> &pages,
                   const axis::AxisPage &axisPage);

} // namespace trend
