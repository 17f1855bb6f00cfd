#include "trend/series.h"

#include <algorithm>

namespace trend {

Series::Series(int capacity) : m_ring(static_cast<size_t>(std::max(1, capacity))) {}

void Series::append(qint64 ms, double value)
{
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

void reduce(const Series &series, qint64 fromMs, qint64 toMs, int columns, QList<QPointF> *out)
{
    out->resize(0);
    if (toMs < fromMs || columns < 1)
        return;
    const qint64 width = std::max<qint64>(1, (toMs - fromMs) / columns + 1);
    const int end = series.size();
    int i = series.lowerBound(fromMs);
    while (i < end && series.at(i).ms <= toMs) {
        // One column: from sample i up to the first sample of the next one.
        const qint64 column = series.at(i).ms / width;
        int lowest = i;
        int highest = i;
        int j = i + 1;
        for (; j < end && series.at(j).ms <= toMs && series.at(j).ms / width == column; ++j) {
            if (series.at(j).value < series.at(lowest).value)
                lowest = j;
            if (series.at(j).value > series.at(highest).value)
                highest = j;
        }
        const int first = std::min(lowest, highest);
        const int second = std::max(lowest, highest);
        out->append(QPointF(double(series.at(first).ms), series.at(first).value));
        if (second != first)
            out->append(QPointF(double(series.at(second).ms), series.at(second).value));
        i = j;
    }
}

} // namespace trend
