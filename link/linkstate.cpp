#include "link/linkstate.h"

#include <thread>

namespace link {

QString LinkState::rcvBuff() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rcvBuff;
}

void LinkState::clearRcv()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcvBuff.clear();
}

bool LinkState::waitPrompt() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waitPrompt;
}

void LinkState::setWaitPrompt(bool on)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_waitPrompt = on;
        if (on)
            m_rcvBuff.clear();
    }
    notifyAll();
}

bool LinkState::waitSharp() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waitSharp;
}

void LinkState::setWaitSharp(bool on)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_waitSharp = on;
        if (on)
            m_rcvBuff.clear();
    }
    notifyAll();
}

bool LinkState::bkpMode() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bkpMode;
}

void LinkState::setBkpMode(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bkpMode = on;
}

bool LinkState::beginConnect() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_beginConnect;
}

void LinkState::setBeginConnect(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_beginConnect = on;
}

void LinkState::rewriteBreakpointPrompt()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcvBuff.replace(QStringLiteral("\n#?"), QStringLiteral("\n#"));
}

bool LinkState::sleepWhileWaitPrompt(std::chrono::milliseconds timeout, const std::function<bool()> &wakeup)
{
    return sleepWhileSet(Flag::WaitPrompt, timeout, wakeup);
}

// A reply on a quiet link lands within tens of microseconds of its command.
// Watching for it that long, yielding the core to whoever needs it, is
// cheaper than being put to sleep and woken again, which costs about as much
// as the round trip itself. On one core watching would only delay the sender.
void LinkState::spinUntilChanged(unsigned seen)
{
    static const bool worthIt = std::thread::hardware_concurrency() > 1;
    if (!worthIt)
        return;
    constexpr auto kWatch = std::chrono::microseconds(150);
    const auto until = std::chrono::steady_clock::now() + kWatch;
    while (m_changes.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
}

bool LinkState::sleepWhileSet(Flag flag, std::chrono::milliseconds timeout,
                              const std::function<bool()> &wakeup)
{
    const bool &field = flag == Flag::WaitPrompt ? m_waitPrompt : m_waitSharp;
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto done = [&] { return !field || (wakeup && wakeup()); };
    if (done())
        return !field;
    // Read under the lock: a change made after the check above counts.
    const unsigned seen = m_changes.load(std::memory_order_acquire);
    lock.unlock();
    spinUntilChanged(seen);
    lock.lock();
    m_cv.wait_for(lock, timeout, done);
    return !field;
}

bool LinkState::isSet(Flag flag) const
{
    return flag == Flag::WaitPrompt ? waitPrompt() : waitSharp();
}

void LinkState::clear(Flag flag)
{
    if (flag == Flag::WaitPrompt)
        setWaitPrompt(false);
    else
        setWaitSharp(false);
}

void LinkState::notifyAll()
{
    m_changes.fetch_add(1, std::memory_order_release);
    m_cv.notify_all();
}

} // namespace link
