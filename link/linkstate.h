// The exchange slot shared by the connection thread and the main thread:
// rcvBuff and the wait flags, behind one mutex, with a condition variable so
// that a waiting main thread sleeps (after watching for a quick reply for at
// most 150 us) instead of spinning.
#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace link {

class LinkState
{
public:
    enum class Flag { WaitPrompt, WaitSharp };

    QString rcvBuff() const;
    void clearRcv();

    bool waitPrompt() const;
    // Arming a wait (on = true) empties rcvBuff in the same locked step, so
    // that a chunk arriving before the command goes out cannot end the new
    // wait on the previous reply's prompt.
    void setWaitPrompt(bool on);
    bool waitSharp() const;
    void setWaitSharp(bool on);
    bool bkpMode() const;
    void setBkpMode(bool on);
    bool beginConnect() const;
    void setBeginConnect(bool on);

    // The closing rewrite of a successful prompt wait: "\n#?" becomes "\n#".
    void rewriteBreakpointPrompt();

    // Sleeps until waitPrompt is false, `wakeup` says so, or the timeout
    // passes; returns whether waitPrompt is false. `wakeup` runs under the
    // slot's lock: it must not call back into this object.
    bool sleepWhileWaitPrompt(std::chrono::milliseconds timeout, const std::function<bool()> &wakeup = {});
    // The same for either wait flag.
    bool sleepWhileSet(Flag flag, std::chrono::milliseconds timeout,
                       const std::function<bool()> &wakeup = {});
    bool isSet(Flag flag) const;
    void clear(Flag flag);

    // Counts the chunks that arrived, so that a long wait can tell whether
    // the controller is still sending.
    void noteArrival() { m_arrivals.fetch_add(1, std::memory_order_relaxed); }
    quint64 arrivals() const { return m_arrivals.load(std::memory_order_relaxed); }

    // Wakes a sleeping waiter (after a flag changed elsewhere).
    void notifyAll();

    // Receive-side step: runs fn under the lock, then wakes waiters.
    template <typename Fn> auto locked(Fn &&fn)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return fn(m_rcvBuff, m_waitPrompt, m_waitSharp, m_bkpMode, m_beginConnect);
    }

private:
    void spinUntilChanged(unsigned seen);

    mutable std::mutex m_mutex;
    // Bumped on every change a waiter may care about, so that a waiter can
    // watch for one without taking the lock.
    std::atomic<unsigned> m_changes{0};
    std::atomic<quint64> m_arrivals{0};
    std::condition_variable m_cv;
    QString m_rcvBuff;
    bool m_waitPrompt = false;
    bool m_waitSharp = false;
    bool m_bkpMode = false;
    bool m_beginConnect = false;
};

} // namespace link
