// What the status bar says about the link, as plain values: the state word,
// the median round trip of the last exchanges and the poll ticks of the last
// minute. No widgets here; the bar only renders these.
#pragma once

#include "monitor/polling.h"

#include <QString>
#include <deque>
#include <vector>

namespace health {

enum class LinkPhase {
    NotConnected,
    Connecting,
    Connected,
    LoggedIn,
    ClosedByController,
    TimedOut,
};

// "not connected", "connecting", ... as the status bar shows them.
QString phaseWord(LinkPhase phase);

// The median of the last `capacity` round trips, in microseconds.
class RoundTrips
{
public:
    explicit RoundTrips(std::size_t capacity = 20) : m_capacity(capacity) {}
    void add(qint64 micros);
    void clear() { m_values.clear(); }
    bool isEmpty() const { return m_values.empty(); }
    // The median (the upper one of an even count); 0 when empty.
    qint64 median() const;

private:
    std::size_t m_capacity;
    std::deque<qint64> m_values;
};

// "0.4 ms", "12 ms", "1.25 s": a round trip as a person reads it.
QString formatRoundTrip(qint64 micros);

// Poll ticks run and skipped within the last `windowMs`; times are any
// monotonic milliseconds. Ticks fall due every `tickMs`.
class TickWindow
{
public:
    explicit TickWindow(qint64 windowMs = 60000, qint64 tickMs = monitor::kPollInterval.count())
        : m_windowMs(windowMs), m_tickMs(tickMs)
    {
    }
    void addRun(qint64 nowMs) { m_events.push_back({nowMs, true}); }
    void addSkipped(qint64 nowMs, int count = 1);
    int run(qint64 nowMs);
    int skipped(qint64 nowMs);
    void clear() { m_events.clear(); }

private:
    void expire(qint64 nowMs);
    struct Event
    {
        qint64 atMs;
        bool ran;
    };
    qint64 m_windowMs;
    qint64 m_tickMs;
    std::deque<Event> m_events;
};

} // namespace health
