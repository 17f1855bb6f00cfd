// Puts the trend into the window: the dock (View menu "Trend"), the "Plot"
// entry in the context menu of every value the pages show, and the hooks that
// let each poll tick sample the plotted values.
#pragma once

class MainWindow;

namespace trend {

class TrendDock;

// Called once, from the window's constructor, after the pages exist.
TrendDock *install(MainWindow &window);

} // namespace trend
