// The longest time the window's event loop went without a turn while a test
// ran, less the time the system kept the GUI thread waiting for a core.
//
// The suite runs two tests side by side on two cores, each with a simulator
// thread of its own, so a runnable GUI thread can wait tens of milliseconds
// for a core: that is the machine, not the window. Linux counts that wait
// per thread (the second figure of /proc/thread-self/schedstat), and it is
// taken off each gap. Time the thread spends working, or asleep in a
// blocking call, counts in full: a 150 ms sleep planted in a poll tick is
// reported. Elsewhere, or without that file, the whole gap counts. What it
// cannot take off: with every core busy, a timer's wake-up now and then
// comes about 100 ms late (a bare Qt program beside two busy loops shows
// it too), which is why the two console floods, which keep both cores busy
// themselves, run alone.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

class StallProbe
{
public:
    // Starts beating every `periodMs` on the calling (GUI) thread.
    explicit StallProbe(int periodMs = 5)
    {
        m_beat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_beat, &QTimer::timeout, [this] { beat(); });
        m_sinceBeat.start();
        m_waitedNs = queueWaitNs();
        m_beat.start(periodMs);
    }

    void stop() { m_beat.stop(); }

    // The longest gap seen, in milliseconds.
    qint64 longestMs() const { return m_longestNs / 1000000; }

private:
    void beat()
    {
        const qint64 gap = m_sinceBeat.nsecsElapsed();
        m_sinceBeat.restart();
        const qint64 waited = queueWaitNs();
        const qint64 own = gap - std::clamp<qint64>(waited - m_waitedNs, 0, gap);
        m_waitedNs = waited;
        m_longestNs = std::max(m_longestNs, own);
    }

    // Nanoseconds this thread has spent runnable but not running; 0 where
    // the system does not say.
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

    QTimer m_beat;
    QElapsedTimer m_sinceBeat;
    qint64 m_waitedNs = 0;
    qint64 m_longestNs = 0;
};
