// The motion boards: four axes on each of four boards, their motion in time,
// the signal and register words a program reads, and the point table.
//
// Axes are numbered X=0, Y=1, U=2, Z=3 (the order of P(0) and of the counters);
// kAll (ALL_A) means every axis of the selected board. LMT(0)/HPT(0) carry one
// byte per axis in the order X, Y, Z, U. In an HPT byte: bit 0 is wired to the
// board's general output of the same axis number (H_ON k), bit 1 is the origin
// sensor (position 0), bit 3 is "moving", bit 6 in-position.
// Register words: RR(axis) bit 0 busy, bit 1 moving in the minus direction,
// bit 2 +limit, bit 3 -limit (RR(ALL_A) packs those nibbles per axis byte like
// LMT); RR1(axis) the current speed in pulses/s; RR3(axis) the pulses still to
// go and RR3(axis,1) the target; PGE(0) the selected board; RR(ALL_E) 0.
#pragma once

#include "sim/error.h"

#include <QMap>

#include <array>
#include <optional>

namespace sim {

class Axes
{
public:
    static constexpr int kBoards = 4;
    static constexpr int kAxes = 4;
    static constexpr int kAll = 4;
    static constexpr qint64 kLimit = 1000000;
    static constexpr qint64 kMaxPoint = 9999;
    using Coords = std::array<qint64, kAxes>;

    int selectedBoard() const { return m_board; }
    Err selectBoard(qint64 b); // MPG

    // A board of -1 is the selected one; out-of-range axes or boards read 0.
    qint64 position(int axis, int board = -1) const;
    qint64 counter(int axis, int board = -1) const;
    bool moving(int axis, int board = -1) const;
    qint64 acceleration(int axis, int board = -1) const;
    bool generalOutput(int k, int board = -1) const;
    bool anyMoving() const; // on any board

    // On the selected board; axis is 0 .. 3 or kAll.
    void setAcceleration(int axis, qint64 v);
    // Relative to where it is going; Range, and no axis moves, when a target
    // would leave the 64-bit range.
    Err move(int axis, qint64 delta);
    void stop(int axis);
    void setPosition(int axis, qint64 p); // stops the axis there
    void setPositions(const Coords &c);
    void setCounters(const Coords &c);
    void setGeneralOutput(int k, bool on);
    // P(n) and friends: n = -1 the counters, 0 the positions, else point n.
    Coords coordinates(qint64 n) const;

    Coords point(qint64 n) const;             // all zero when not set
    void setPoint(qint64 n, const Coords &c); // all zero removes it
    void clearPoints();
    const QMap<qint64, Coords> &points() const { return m_points; }

    qint64 lmtWord() const;
    qint64 hptWord() const;
    // Holds LMT(0) and HPT(0) at fixed words; std::nullopt returns a word to the model.
    void pinSignalWords(std::optional<qint64> lmt, std::optional<qint64> hpt);
    qint64 rr(int axis) const;
    qint64 rr1(int axis) const;
    qint64 rr3(int axis, qint64 select) const;

    // Moves every moving axis on by dtSec seconds.
    void step(double dtSec);

private:
    struct AxisState
    {
        qint64 pos = 0;
        double frac = 0; // the exact position less pos, within +-0.5
        qint64 counter = 0;
        qint64 target = 0;
        double speed = 0; // pulses per second, always >= 0
        qint64 accel = 1000;
        bool moving = false;
    };
    struct Board
    {
        std::array<AxisState, kAxes> axes;
        std::array<bool, kAxes> hout{};
    };

    Board &board() { return m_boards[static_cast<size_t>(m_board)]; }
    const Board &board() const { return m_boards[static_cast<size_t>(m_board)]; }
    const Board &boardAt(int b) const { return m_boards[static_cast<size_t>(b < 0 ? m_board : b)]; }
    const AxisState *axisAt(int axis, int b) const;
    template <typename Fn> void forAxes(int axis, Fn fn);
    static double remaining(const AxisState &ax); // from the exact position to the target
    static void moveAxis(AxisState &ax, qint64 delta);
    static void stopAxis(AxisState &ax);
    static void stepAxis(AxisState &ax, double dt);
    static qint64 rrByte(const AxisState &ax);
    static int byteShift(int axis);

    std::array<Board, kBoards> m_boards;
    int m_board = 0;
    std::optional<qint64> m_lmtPin;
    std::optional<qint64> m_hptPin;
    QMap<qint64, Coords> m_points;
};

} // namespace sim
