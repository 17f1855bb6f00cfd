// The axis page's combined signal query: the line sent and how its reply is
// split into the signal words, positions, register and counters.
#pragma once

#include "ui/plotprobe.h"

#include <QString>
#include <array>
#include <optional>

namespace monitor {

// "PR LMT(0) HPT(0) P(0) " + register expression + " X(-1) Y(-1) U(-1) Z(-1)".
QString axisQuery(const QString &registerExpression);

// Bits inside one axis byte of the signal words, in the column order of the
// lamps: LMT(0) +limit, -limit, alarm; HPT(0) inputs 0, 1, 3 and in-position.
inline constexpr std::array<int, 3> kLmtBits = {2, 3, 4};
inline constexpr std::array<int, 4> kHptBits = {0, 1, 3, 6};

// The signal words carry one byte per axis in the order X, Y, Z, U
// (`signalAxis` 0..3 in that order), unlike positions and counters.
inline bool signalOn(qint64 word, int signalAxis, int bitInByte)
{
    return ((word >> (8 * signalAxis + bitInByte)) & 1) != 0;
}

struct AxisReading
{
    std::optional<qint64> lmt; // field 0, when decimal
    std::optional<qint64> hpt; // field 1, when decimal
    // Positions, register and counters come as one set: only when the reply
    // has all eleven fields and the register field is decimal. A shorter or
    // damaged reply (error text, time-out) leaves those labels as they were,
    // as the lamps are left on an unreadable word.
    bool hasValues = false;
    std::array<QString, 4> positions; // X, Y, U, Z, text as received
    QString registerText;             // eight upper-case hexadecimal digits
    std::array<QString, 4> counters;  // X, Y, U, Z, text as received
};

// Joins a reply that the controller broke over several lines (CR LF and a
// blank) and splits it at single blanks.
AxisReading parseAxisReply(const QString &reply);

// The position (or the counter) of axis 0..3, X, Y, U, Z, as the axis query
// reads it.
ui::PlotProbe axisProbe(bool counter, int axis);

} // namespace monitor
