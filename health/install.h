// The link's health in the window: the status bar, stale values and the
// journals. One call from the window's constructor puts them in.
#pragma once

class MainWindow;

namespace health {

void install(MainWindow &window);

} // namespace health
