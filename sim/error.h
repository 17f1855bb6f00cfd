// The failures a command of the dialect can report, and the fixed message the
// controller prints for each.
#pragma once

#include <QString>

namespace sim {

enum class Err {
    None,
    Syntax,
    NoBoard,
    Range,
    InputForce,
    LineTooLong,
    BadChar,
    NotAtBreak,
    NoLine,
    DivZero,
    BadClock,
    Type,
    Memory,
};

QString errorText(Err e);

} // namespace sim
