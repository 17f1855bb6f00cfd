// The window that shows what restoring a backup would change on the
// controller, one section per table, with "Restore" and "Close". Like a
// compare window, Restore holds only while what was compared still holds.
#pragma once

#include "transfer/backups.h"

#include <QDialog>

class QLabel;
class QPushButton;
class WatchLock;

namespace ui {
class LockedControls;
}

namespace transfer {

class RestoreWindow : public QDialog
{
    Q_OBJECT

public:
    // Restore stays off while `lock`, which outlives the window, is on.
    RestoreWindow(const Backups::Plan &plan, const WatchLock &lock, QWidget *parent = nullptr);

    const Backups::Plan &plan() const { return m_plan; }
    // Switches Restore off for good and shows why; the first reason stays.
    void disableRestore(const QString &why);
    // The user declined the confirmation, or the watch-only lock held the
    // restore back: Restore is on again, unless off for good.
    void declined();

signals:
    // The user pressed "Restore"; it stays off until the window closes or
    // disableRestore() is called.
    void restoreRequested();

private:
    Backups::Plan m_plan;
    QLabel *m_off = nullptr;
    QPushButton *m_restore = nullptr;
    ui::LockedControls *m_locked = nullptr;
    bool m_isOff = false;
};

} // namespace transfer
