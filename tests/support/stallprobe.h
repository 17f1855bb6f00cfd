// The longest time the window's event loop went without a turn while a test ran, less the machine's
// share: the time the thread waited for a core (/proc/thread-self/schedstat, where there is one) and
// the time it sat idle in the loop's own wait, since a loaded machine wakes timers up to 130 ms late.
// Time spent working, or asleep in a blocking call inside a handler, counts in full.
#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

// The longest the window may stand still; under a sanitizer only a freeze is caught.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr qint64 kLongestStallMs = 3000;
#else
constexpr qint64 kLongestStallMs = 100;
#endif

class StallProbe : public QObject
{
public:
    // Starts beating every `periodMs` on the calling (GUI) thread.
    explicit StallProbe(int periodMs = 5)
    {
        m_clock.start();
        m_beat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_beat, &QTimer::timeout, this, [this] { beat(); });
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                         [this] { m_blockedAt = m_clock.nsecsElapsed(); });
        qApp->installEventFilter(this);
        m_lastBeat = m_clock.nsecsElapsed();
        m_waitedNs = queueWaitNs();
        m_beat.start(periodMs);
    }

    // Stops beating; the gap up to now counts too.
    void stop()
    {
        if (!m_beat.isActive())
            return;
        beat();
        m_beat.stop();
        qApp->removeEventFilter(this);
    }

    // The longest gap seen, in milliseconds.
    qint64 longestMs() const { return m_longestNs / 1000000; }

protected:
    // The first event after the loop blocked ends its idle wait.
    bool eventFilter(QObject *, QEvent *) override
    {
        if (m_blockedAt >= 0) {
            m_idleNs += m_clock.nsecsElapsed() - m_blockedAt;
            m_blockedAt = -1;
        }
        return false;
    }

private:
    void beat()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 gap = now - std::exchange(m_lastBeat, now);
        const qint64 waited = queueWaitNs();
        const qint64 machine = std::exchange(m_idleNs, 0) + (waited - std::exchange(m_waitedNs, waited));
        m_longestNs = std::max(m_longestNs, gap - std::clamp<qint64>(machine, 0, gap));
    }

    // Nanoseconds this thread has spent runnable but not running; 0 where the system does not say.
    static qint64 queueWaitNs()
    {
#ifdef Q_OS_LINUX
        const int fd = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return 0;
        char text[96] = {};
        const ssize_t n = ::read(fd, text, sizeof text - 1);
        ::close(fd);
        if (n <= 0)
            return 0;
        char *end = nullptr;
        std::strtoll(text, &end, 10); // time on a core
        return std::strtoll(end, nullptr, 10);
#else
        return 0;
#endif
    }

    QElapsedTimer m_clock;
    QTimer m_beat;
    qint64 m_lastBeat = 0;
    qint64 m_blockedAt = -1;
    qint64 m_idleNs = 0;
    qint64 m_waitedNs = 0;
    qint64 m_longestNs = 0;
};
