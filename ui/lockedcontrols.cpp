#include "ui/lockedcontrols.h"

#include "core/watchlock.h"

#include <QAction>
#include <QWidget>

namespace ui {

LockedControls::LockedControls(const WatchLock &lock, QObject *parent) : QObject(parent), m_lock(lock)
{
    connect(&lock, &WatchLock::changed, this, &LockedControls::apply);
}

void LockedControls::add(std::initializer_list<QWidget *> controls)
{
    for (QWidget *w : controls)
        setEnabled(w, true);
}

void LockedControls::setEnabled(QWidget *control, bool wanted)
{
    if (!m_widgets.contains(control)) {
        connect(control, &QObject::destroyed, this, [this, control] { m_widgets.remove(control); });
    }
    m_widgets[control] = wanted;
    control->setEnabled(wanted && !m_lock.locked());
}

void LockedControls::setEnabled(QAction *control, bool wanted)
{
    if (!m_actions.contains(control)) {
        connect(control, &QObject::destroyed, this, [this, control] { m_actions.remove(control); });
    }
    m_actions[control] = wanted;
    control->setEnabled(wanted && !m_lock.locked());
}

void LockedControls::apply()
{
    const bool locked = m_lock.locked();
    for (auto it = m_widgets.cbegin(); it != m_widgets.cend(); ++it)
        it.key()->setEnabled(it.value() && !locked);
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        it.key()->setEnabled(it.value() && !locked);
}

} // namespace ui
