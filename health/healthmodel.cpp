#include "health/healthmodel.h"

#include <algorithm>

namespace health {

QString phaseWord(LinkPhase phase)
{
    switch (phase) {
    case LinkPhase::NotConnected:
        return QStringLiteral("not connected");
    case LinkPhase::Connecting:
        return QStringLiteral("connecting");
    case LinkPhase::Connected:
        return QStringLiteral("connected");
    case LinkPhase::LoggedIn:
        return QStringLiteral("logged in");
    case LinkPhase::ClosedByController:
        return QStringLiteral("closed by the controller");
    case LinkPhase::TimedOut:
        return QStringLiteral("timed out");
    }
    return QString();
}

void RoundTrips::add(qint64 micros)
{
    m_values.push_back(micros);
    while (m_values.size() > m_capacity)
        m_values.pop_front();
}

qint64 RoundTrips::median() const
{
    if (m_values.empty())
        return 0;
    std::vector<qint64> sorted(m_values.begin(), m_values.end());
    const auto mid = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), mid, sorted.end());
    return *mid;
}

QString formatRoundTrip(qint64 micros)
{
    // The unit is chosen by the value as rounded for it: 9.96 ms reads
    // "10 ms", not "10.0 ms", and 999.6 ms "1.00 s", not "1000 ms".
    const qint64 tenths = (micros + 50) / 100;
    if (tenths < 100)
        return QString::number(double(tenths) / 10.0, 'f', 1) + QStringLiteral(" ms");
    const qint64 millis = (micros + 500) / 1000;
    if (millis < 1000)
        return QString::number(millis) + QStringLiteral(" ms");
    return QString::number(double(micros) / 1e6, 'f', 2) + QStringLiteral(" s");
}

void TickWindow::addSkipped(qint64 nowMs, int count)
{
    // Told at once after a long tick, the skipped ticks fell due one after
    // the other before now: each goes in at its own time, so that those of a
    // stall longer than the window leave it as a minute goes by (and never
    // more than the window's ticks count). Ones already out are not kept.
    const qint64 kept = m_tickMs > 0 ? m_windowMs / m_tickMs : count;
    for (qint64 i = std::min<qint64>(count, kept) - 1; i >= 0; --i) {
        const Event skipped{nowMs - i * m_tickMs, false};
        const auto at = std::upper_bound(m_events.begin(), m_events.end(), skipped.atMs,
                                         [](qint64 t, const Event &e) { return t < e.atMs; });
        m_events.insert(at, skipped);
    }
}

void TickWindow::expire(qint64 nowMs)
{
    while (!m_events.empty() && m_events.front().atMs <= nowMs - m_windowMs)
        m_events.pop_front();
}

int TickWindow::run(qint64 nowMs)
{
    expire(nowMs);
    return static_cast<int>(
        std::count_if(m_events.begin(), m_events.end(), [](const Event &e) { return e.ran; }));
}

int TickWindow::skipped(qint64 nowMs)
{
    expire(nowMs);
    return static_cast<int>(
        std::count_if(m_events.begin(), m_events.end(), [](const Event &e) { return !e.ran; }));
}

} // namespace health
