#include "core/watchlock.h"

void WatchLock::lock()
{
    if (m_locked)
        return;
    m_locked = true;
    emit changed(true);
}

bool WatchLock::unlock(const QString &reason)
{
    const QString trimmed = reason.trimmed();
    if (!m_locked)
        return true;
    if (trimmed.isEmpty())
        return false;
    m_reason = trimmed;
    m_locked = false;
    emit changed(false);
    return true;
}

bool WatchLock::allows() const
{
    if (m_locked)
        emit heldBack();
    return !m_locked;
}
