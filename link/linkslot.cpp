// The exchange slot: the queue of actions that take turns on the link, and
// the alerts that wait until no action holds it.
#include "core/dialogs.h"
#include "core/watchlock.h"
#include "link/link.h"

#include <QTimer>

namespace wire {

bool Link::enqueue(Action action, IfBusy ifBusy)
{
    if (m_running && ifBusy == IfBusy::Skip)
        return false;
    m_queue.push_back(std::move(action));
    if (!m_running)
        drain();
    return true;
}

QCoro::Task<> Link::drain()
{
    m_running = true;
    while (!m_queue.empty()) {
        Action action = std::move(m_queue.front());
        m_queue.pop_front();
        QCoro::Task<> task = action();
        co_await task;
        // Between actions: an alert that fell due during one opens now.
        if (!m_alerts.isEmpty())
            showAlerts();
    }
    m_running = false;
}

Link::Action unlessLocked(const WatchLock &lock, Link::Action action, std::function<void()> heldBack)
{
    return [&lock, action = std::move(action), heldBack = std::move(heldBack)]() -> QCoro::Task<> {
        if (!lock.allows()) {
            if (heldBack)
                heldBack();
            co_return;
        }
        QCoro::Task<> task = action();
        co_await task;
    };
}

void Link::alertWhenFree(const QString &message)
{
    m_alerts << message;
    if (m_running || m_alertsPosted)
        return;
    m_alertsPosted = true;
    QTimer::singleShot(0, this, [this] {
        m_alertsPosted = false;
        if (!m_running)
            showAlerts();
    });
}

void Link::showAlerts()
{
    // The slot stays taken while an alert is open: a queued action runs after
    // the user has read it.
    const bool wasRunning = std::exchange(m_running, true);
    while (!m_alerts.isEmpty()) {
        const QString message = m_alerts.takeFirst();
        if (m_dialogs)
            m_dialogs->alert(message);
    }
    m_running = wasRunning;
    if (!m_running && !m_queue.empty())
        drain();
}

} // namespace wire
