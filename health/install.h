// The link's health in the window: the status bar and stale values. One call
// from the window's constructor puts them in.
#pragma once

class Clock;
class QStatusBar;
class QWidget;

namespace monitor {
class Poller;
}
namespace wire {
class Link;
}

namespace health {

// `owner` owns what is put in; the others outlive it.
void install(QStatusBar &statusBar, QWidget &owner, wire::Link &link, monitor::Poller &poller, Clock &clock);

} // namespace health
