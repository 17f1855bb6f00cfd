// One plotted value over time: a fixed ring of samples that holds the last
// hour of 0.3 s ticks and never allocates once it is made, and the reduction
// of a stretch of it to what a plot of a given width can show.
#pragma once

#include <QList>
#include <QPointF>
#include <optional>
#include <vector>

namespace trend {

struct Sample
{
    qint64 ms = 0; // milliseconds since the epoch
    double value = 0;
};

class Series
{
public:
    // One hour of ticks every 0.3 s.
    static constexpr int kCapacity = 12000;

    explicit Series(int capacity = kCapacity);

    // Once full, each append overwrites the oldest sample.
    void append(qint64 ms, double value);
    void clear();
    // Drops the samples later than `ms`: the clock was set back, and a
    // series without a value at the new time keeps none from the old one.
    void dropAfter(qint64 ms);

    int size() const { return m_size; }
    int capacity() const { return static_cast<int>(m_ring.size()); }
    // i = 0 is the oldest sample held.
    const Sample &at(int i) const { return m_ring[static_cast<size_t>((m_head + i) % capacity())]; }
    std::optional<Sample> last() const;
    // The first index whose time is at or after `ms`; size() when none is.
    // Times only grow, so this is a binary search.
    int lowerBound(qint64 ms) const;
    // The samples [from, to) as at most two runs that lie in a row in
    // memory, oldest first: the ring read without a division per sample.
    struct Runs
    {
        const Sample *first = nullptr;
        int firstCount = 0;
        const Sample *second = nullptr;
        int secondCount = 0;
    };
    Runs runs(int from, int to) const;

private:
    std::vector<Sample> m_ring;
    int m_head = 0; // index of the oldest sample
    int m_size = 0;
};

// The samples of [fromMs, toMs] reduced to at most two points a column for
// `columns` equal columns of time: the lowest and the highest sample of each
// column, in the order they came, and the window's first and newest sample
// so that the line spans it and ends at the value the legend shows. A line through them looks the same as one
// through every sample at that width. Columns are aligned on multiples of
// their width, so the picture does not shimmer as the window moves. `out` is
// reused (cleared, its capacity kept).
void reduce(const Series &series, qint64 fromMs, qint64 toMs, int columns, QList<QPointF> *out);

} // namespace trend
