#include "link/linkstate.h"

namespace link {

QString LinkState::rcvBuff() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rcvBuff;
}

void LinkState::setRcvBuff(const QString &text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcvBuff = text;
}

void LinkState::appendRcv(const QString &text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcvBuff += text;
}

void LinkState::clearRcv()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcvBuff.clear();
}

bool LinkState::rcvContains(const QString &needle) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rcvBuff.contains(needle);
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
    }
    m_cv.notify_all();
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
    }
    m_cv.notify_all();
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

bool LinkState::takeWaitPrompt()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool was = m_waitPrompt;
    m_waitPrompt = false;
    return was;
}

void LinkState::rewriteBreakpointPrompt()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcvBuff.replace(QStringLiteral("\n#?"), QStringLiteral("\n#"));
}

bool LinkState::sleepWhileWaitPrompt(std::chrono::milliseconds timeout,
                                     const std::function<bool()> &wakeup)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, timeout, [&] { return !m_waitPrompt || (wakeup && wakeup()); });
    return !m_waitPrompt;
}

bool LinkState::sleepWhileSet(Flag flag, std::chrono::milliseconds timeout,
                              const std::function<bool()> &wakeup)
{
    const bool &field = flag == Flag::WaitPrompt ? m_waitPrompt : m_waitSharp;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, timeout, [&] { return !field || (wakeup && wakeup()); });
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
    m_cv.notify_all();
}

} // namespace link
