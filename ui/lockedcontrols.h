// The controls of one page or window that change the machine. Each is enabled
// exactly when its own rules want it and the watch-only lock is off: the
// page says what its rules want through here instead of enabling the control
// itself, and unlocking gives back what the rules said meanwhile.
#pragma once

#include <QHash>
#include <QObject>
#include <initializer_list>

class QAction;
class QWidget;
class WatchLock;

namespace ui {

class LockedControls : public QObject
{
    Q_OBJECT

public:
    // `lock` outlives this object.
    LockedControls(const WatchLock &lock, QObject *parent);

    // Controls without enabling rules of their own: wanted on from now on.
    void add(std::initializer_list<QWidget *> controls);
    void add(QWidget *control) { setEnabled(control, true); }
    // What the control's own rules want now; it shows that unless locked.
    void setEnabled(QWidget *control, bool wanted);
    void setEnabled(QAction *control, bool wanted);

private:
    void apply();

    const WatchLock &m_lock;
    QHash<QWidget *, bool> m_widgets;
    QHash<QAction *, bool> m_actions;
};

} // namespace ui
