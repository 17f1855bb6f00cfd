// "Compare…": before a load, what it would change. Point and MBK files are
// compared entry by entry with the controller's tables, program files
// statement by statement with its program. Comparing only reads: the same
// listing the save reads, without the attention byte, so a running program
// keeps running; nothing is written until the user presses "Load", which
// loads the very text compared, over the very connection the listing came
// over, or nothing.
#pragma once

class Dialogs;
class QMenu;
class QWidget;
class WatchLock;

namespace console {
class SidePanel;
}

namespace wire {
class Link;
}

namespace transfer {

class Transfers;

// Adds "Compare…" beside the point and MBK loads of the console's side panel
// `panel` and "Compare Points…", "Compare MBK…" and "Compare Program…" to the
// File menu `fileMenu`. Each request runs as a link action. `window` parents
// the compare windows and the menu entries; `link`, `transfers`, `dialogs` and
// `lock` outlive it. Comparing reads only, so it goes on while `lock` is on;
// the windows' Load does not. Called once, from the window's constructor.
void installCompare(QWidget *window, wire::Link &link, Transfers &transfers, Dialogs &dialogs,
                    const WatchLock &lock, console::SidePanel &panel, QMenu *fileMenu);

} // namespace transfer
