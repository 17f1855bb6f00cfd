#include "trend/series.h"

#include <algorithm>
#include <limits>

namespace trend {

Series::Series(int capacity) : m_ring(static_cast<size_t>(std::max(1, capacity))) {}

void Series::append(qint64 ms, double value)
{
    // A sample older than the newest (the computer's clock was set back)
    // drops those it predates: the times stay in order, as the plot, the
    // pointer's read-out and the export need.
    if (m_size > 0 && at(m_size - 1).ms > ms)
        m_size = lowerBound(ms);
    const int cap = capacity();
    if (m_size < cap) {
        m_ring[static_cast<size_t>((m_head + m_size) % cap)] = Sample{ms, value};
        ++m_size;
        return;
    }
    m_ring[static_cast<size_t>(m_head)] = Sample{ms, value};
    m_head = (m_head + 1) % cap;
}

void Series::clear()
{
    m_head = 0;
    m_size = 0;
}

void Series::dropAfter(qint64 ms)
{
    if (m_size > 0 && at(m_size - 1).ms > ms)
        m_size = lowerBound(ms + 1);
}

std::optional<Sample> Series::last() const
{
    if (m_size == 0)
        return std::nullopt;
    return at(m_size - 1);
}

int Series::lowerBound(qint64 ms) const
{
    int lo = 0;
    int hi = m_size;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (at(mid).ms < ms)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

Series::Runs Series::runs(int from, int to) const
{
    Runs r;
    from = std::clamp(from, 0, m_size);
    to = std::clamp(to, from, m_size);
    const int cap = capacity();
    const int start = (m_head + from) % cap;
    const int count = to - from;
    r.first = m_ring.data() + start;
    r.firstCount = std::min(count, cap - start);
    r.second = m_ring.data();
    r.secondCount = count - r.firstCount;
    return r;
}

void reduce(const Series &series, qint64 fromMs, qint64 toMs, int columns, QList<QPointF> *out)
{
    out->resize(0);
    if (toMs < fromMs || columns < 1)
        return;
    const qint64 width = std::max<qint64>(1, (toMs - fromMs) / columns + 1);
    const int begin = series.lowerBound(fromMs);
    const int end = toMs == std::numeric_limits<qint64>::max() ? series.size() : series.lowerBound(toMs + 1);
    const Series::Runs runs = series.runs(begin, end);
    // The column being gathered: its lowest and highest sample and where
    // each came in it, and the time at which the next column starts.
    bool open = false;
    Sample lowest;
    Sample highest;
    int lowestAt = 0;
    int highestAt = 0;
    qint64 nextColumnMs = 0;
    int at = 0;
    int keptAt = -1; // the last sample put out
    Sample newest;
    const auto keep = [&](const Sample &s, int sAt) {
        if (sAt > keptAt) {
            out->append(QPointF(double(s.ms), s.value));
            keptAt = sAt;
        }
    };
    const auto flush = [&] {
        if (lowestAt <= highestAt) {
            keep(lowest, lowestAt);
            keep(highest, highestAt);
        } else {
            keep(highest, highestAt);
            keep(lowest, lowestAt);
        }
    };
    const auto take = [&](const Sample *samples, int count) {
        for (int k = 0; k < count; ++k, ++at) {
            const Sample &s = samples[k];
            newest = s;
            if (!open)
                keep(s, at); // the line starts at the window's first sample
            if (!open || s.ms >= nextColumnMs) {
                if (open)
                    flush();
                open = true;
                lowest = highest = s;
                lowestAt = highestAt = at;
                nextColumnMs = (s.ms / width + 1) * width;
                continue;
            }
            if (s.value < lowest.value) {
                lowest = s;
                lowestAt = at;
            }
            if (s.value > highest.value) {
                highest = s;
                highestAt = at;
            }
        }
    };
    take(runs.first, runs.firstCount);
    take(runs.second, runs.secondCount);
    if (open) {
        flush();
        keep(newest, at - 1); // and ends at its newest
    }
}

} // namespace trend
