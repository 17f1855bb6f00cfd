// Puts the trend into the window: the dock (View menu "Trend"), the "Plot"
// entry in the context menu of every value the pages offer, and the hooks
// that let each poll tick sample the plotted values.
#pragma once

#include <functional>
#include <optional>

class Clock;
class Dialogs;
class QMainWindow;
class QMenu;
class QTabWidget;

namespace monitor {
class Poller;
}
namespace ui {
class PageTabs;
}
namespace wire {
class Link;
}

namespace trend {

class TrendDock;

// Called once, from the window's constructor, after the tabs of `pages`
// have been added (their pages may be built later). Docks the trend in
// `window` and adds its toggle to `viewMenu`. Only the ticks of the monitor
// pages sample, and their plottables() get the "Plot" entry as each page is
// built; the "+" menu builds the pages not built yet, to offer their values.
// A change of page in `tabs` reselects the board of the axis reads, which
// follow `axisBoard` (the board the Axis page reads); a tab that is no
// monitor page stops the plot. Everything outlives the dock.
TrendDock *install(QMainWindow &window, QMenu &viewMenu, QTabWidget &tabs, wire::Link &link, Dialogs &dialogs,
                   Clock &clock, monitor::Poller &poller, ui::PageTabs &pages,
                   std::function<std::optional<int>()> axisBoard);

} // namespace trend
