// "Back Up Controller…" and "Restore Controller…" in the File menu.
#pragma once

#include <QString>
#include <functional>

class Dialogs;
class QMenu;
class QWidget;
class WatchLock;

namespace wire {
class Link;
}

namespace transfer {

class Backups;

// Adds the two entries to `fileMenu`, on while the link is up; restoring
// writes, so it and the restore window's Restore stay off while `lock` is on.
// Each runs as a link action; `controllerName` names the backup's folder.
// `window` parents the entries and the restore window; the others outlive it.
void installBackups(QWidget *window, QMenu *fileMenu, wire::Link &link, Backups &backups, Dialogs &dialogs,
                    const WatchLock &lock, std::function<QString()> controllerName);

} // namespace transfer
