// The motion model: acceleration-limited moves, soft limits at +-kLimit, and
// the words a program reads to watch them.
#include "sim/axes.h"

#include "sim/syntax.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {

namespace {

constexpr double kMaxSpeed = 50000.0; // pulses per second
constexpr double kMinSpeed = 200.0;   // so that a decelerating axis always arrives
constexpr double kAccelScale = 100.0; // ACCEL 1000 -> 100000 pulses/s^2

} // namespace

int Axes::byteShift(int axis)
{
    static const int shifts[kAxes] = {0, 8, 24, 16}; // X, Y, U, Z -> bytes X Y Z U
    return shifts[axis];
}

Err Axes::selectBoard(qint64 b)
{
    if (b < 0 || b >= kBoards)
        return Err::NoBoard;
    m_board = static_cast<int>(b);
    return Err::None;
}

const Axes::AxisState *Axes::axisAt(int axis, int b) const
{
    if (axis < 0 || axis >= kAxes || b >= kBoards)
        return nullptr;
    return &boardAt(b).axes[static_cast<size_t>(axis)];
}

qint64 Axes::position(int axis, int b) const
{
    const AxisState *ax = axisAt(axis, b);
    return ax ? ax->pos : 0;
}

qint64 Axes::counter(int axis, int b) const
{
    const AxisState *ax = axisAt(axis, b);
    return ax ? ax->counter : 0;
}

bool Axes::moving(int axis, int b) const
{
    const AxisState *ax = axisAt(axis, b);
    return ax && ax->moving;
}

qint64 Axes::acceleration(int axis, int b) const
{
    const AxisState *ax = axisAt(axis, b);
    return ax ? ax->accel : 0;
}

bool Axes::generalOutput(int k, int b) const
{
    if (k < 0 || k >= kAxes || b >= kBoards)
        return false;
    return boardAt(b).hout[static_cast<size_t>(k)];
}

bool Axes::anyMoving() const
{
    for (const Board &b : m_boards) {
        for (const AxisState &ax : b.axes) {
            if (ax.moving)
                return true;
        }
    }
    return false;
}

template <typename Fn> void Axes::forAxes(int axis, Fn fn)
{
    for (int i = 0; i < kAxes; ++i) {
        if (axis == kAll || axis == i)
            fn(board().axes[static_cast<size_t>(i)]);
    }
}

void Axes::setAcceleration(int axis, qint64 v)
{
    forAxes(axis, [v](AxisState &ax) { ax.accel = v; });
}

Err Axes::move(int axis, qint64 delta)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    for (int i = 0; i < kAxes; ++i) {
        const AxisState &ax = board().axes[static_cast<size_t>(i)];
        const qint64 from = ax.moving ? ax.target : ax.pos;
        if ((axis == kAll || axis == i) &&
            ((delta > 0 && from > kMax - delta) || (delta < 0 && from < kMin - delta)))
            return Err::Range;
    }
    forAxes(axis, [delta](AxisState &ax) { moveAxis(ax, delta); });
    return Err::None;
}

void Axes::stop(int axis)
{
    forAxes(axis, [](AxisState &ax) { stopAxis(ax); });
}

void Axes::setPosition(int axis, qint64 p)
{
    forAxes(axis, [p](AxisState &ax) {
        ax.pos = p;
        stopAxis(ax);
    });
}

void Axes::setPositions(const Coords &c)
{
    for (int i = 0; i < kAxes; ++i)
        setPosition(i, c[static_cast<size_t>(i)]);
}

void Axes::setCounters(const Coords &c)
{
    for (int i = 0; i < kAxes; ++i)
        board().axes[static_cast<size_t>(i)].counter = c[static_cast<size_t>(i)];
}

void Axes::setGeneralOutput(int k, bool on)
{
    board().hout[static_cast<size_t>(k)] = on;
}

Axes::Coords Axes::coordinates(qint64 n) const
{
    if (n >= 1)
        return point(n);
    Coords values{};
    for (int i = 0; i < kAxes; ++i) {
        const AxisState &ax = board().axes[static_cast<size_t>(i)];
        values[static_cast<size_t>(i)] = n == -1 ? ax.counter : ax.pos;
    }
    return values;
}

Axes::Coords Axes::point(qint64 n) const
{
    return m_points.value(n, Coords{});
}

void Axes::setPoint(qint64 n, const Coords &c)
{
    if (c == Coords{})
        m_points.remove(n);
    else
        m_points.insert(n, c);
}

void Axes::clearPoints()
{
    m_points.clear();
}

double Axes::remaining(const AxisState &ax)
{
    // Counted from pos in whole pulses: a double holds a distance to the
    // pulse where it could not hold a position near the 64-bit ends.
    return static_cast<double>(syntax::wrapSub(ax.target, ax.pos)) - ax.frac;
}

void Axes::moveAxis(AxisState &ax, qint64 delta)
{
    if (delta == 0)
        return;
    const qint64 from = ax.moving ? ax.target : ax.pos;
    const bool wasUp = remaining(ax) > 0;
    ax.target = from + delta; // move() has seen that it fits
    const bool goesUp = remaining(ax) > 0;
    if (ax.moving && wasUp != goesUp)
        ax.speed = 0; // a reversal starts again from standstill
    ax.moving = true;
}

void Axes::stopAxis(AxisState &ax)
{
    ax.frac = 0;
    ax.target = ax.pos;
    ax.speed = 0;
    ax.moving = false;
}

void Axes::step(double dt)
{
    for (Board &b : m_boards) {
        for (AxisState &ax : b.axes) {
            if (ax.moving)
                stepAxis(ax, dt);
        }
    }
}

void Axes::stepAxis(AxisState &ax, double dt)
{
    const double left = remaining(ax);
    const double dir = left < 0 ? -1.0 : 1.0;
    const double a = static_cast<double>(ax.accel) * kAccelScale;
    bool arrived = std::fabs(left) < 0.5;
    qint64 pos = ax.target;
    if (!arrived) {
        const double stopDist = ax.speed * ax.speed / (2 * a);
        if (stopDist >= std::fabs(left))
            ax.speed = std::max(ax.speed - a * dt, kMinSpeed);
        else
            ax.speed = std::min(ax.speed + a * dt, kMaxSpeed);
        const double step = ax.speed * dt;
        arrived = step >= std::fabs(left);
        if (!arrived) {
            // Short of the target, so pos + whole lies between pos and it.
            const double moved = ax.frac + dir * step;
            const qint64 whole = std::llround(moved);
            pos = ax.pos + whole;
            ax.frac = moved - static_cast<double>(whole);
        }
    }
    if (pos >= kLimit && dir > 0) {
        pos = kLimit;
        arrived = true;
    } else if (pos <= -kLimit && dir < 0) {
        pos = -kLimit;
        arrived = true;
    }
    ax.counter = syntax::wrapAdd(ax.counter, syntax::wrapSub(pos, ax.pos));
    ax.pos = pos;
    if (arrived)
        stopAxis(ax);
}

void Axes::pinSignalWords(std::optional<qint64> lmt, std::optional<qint64> hpt)
{
    m_lmtPin = lmt;
    m_hptPin = hpt;
}

qint64 Axes::lmtWord() const
{
    if (m_lmtPin)
        return *m_lmtPin;
    qint64 w = 0;
    for (int i = 0; i < kAxes; ++i) {
        const AxisState &ax = board().axes[static_cast<size_t>(i)];
        qint64 byte = 0;
        if (ax.pos >= kLimit)
            byte |= 1 << 2;
        if (ax.pos <= -kLimit)
            byte |= 1 << 3;
        w |= byte << byteShift(i);
    }
    return w;
}

qint64 Axes::hptWord() const
{
    if (m_hptPin)
        return *m_hptPin;
    qint64 w = 0;
    for (int i = 0; i < kAxes; ++i) {
        const AxisState &ax = board().axes[static_cast<size_t>(i)];
        qint64 byte = 0;
        if (board().hout[static_cast<size_t>(i)])
            byte |= 1 << 0;
        if (ax.pos == 0)
            byte |= 1 << 1;
        if (ax.moving)
            byte |= 1 << 3;
        else
            byte |= 1 << 6;
        w |= byte << byteShift(i);
    }
    return w;
}

qint64 Axes::rrByte(const AxisState &ax)
{
    qint64 byte = 0;
    if (ax.moving)
        byte |= 1;
    if (ax.moving && remaining(ax) < 0)
        byte |= 2;
    if (ax.pos >= kLimit)
        byte |= 4;
    if (ax.pos <= -kLimit)
        byte |= 8;
    return byte;
}

qint64 Axes::rr(int axis) const
{
    if (axis != kAll)
        return rrByte(board().axes[static_cast<size_t>(axis)]);
    qint64 w = 0;
    for (int i = 0; i < kAxes; ++i)
        w |= rrByte(board().axes[static_cast<size_t>(i)]) << byteShift(i);
    return w;
}

qint64 Axes::rr1(int axis) const
{
    double s = 0;
    for (int i = 0; i < kAxes; ++i) {
        if (axis == kAll || axis == i)
            s = std::max(s, board().axes[static_cast<size_t>(i)].speed);
    }
    return std::llround(s);
}

qint64 Axes::rr3(int axis, qint64 select) const
{
    const AxisState &ax = board().axes[static_cast<size_t>(axis == kAll ? 0 : axis)];
    const qint64 left = syntax::wrapSub(ax.target, ax.pos);
    return select == 1 ? ax.target : (left < 0 ? syntax::wrapSub(0, left) : left);
}

} // namespace sim
