// The expression interpreter: numbers (decimal, &H), strings, variables, the
// built-in functions that read the machine (IN, MBK, TASK, LMT, HPT, PGE, RR,
// RR1, RR3, X, Y, U, Z, P, DATE$, TIME$) and the usual operators; and the two
// kinds of assignment, to a variable and to an MBK word.
#pragma once

#include "sim/error.h"
#include "sim/value.h"

#include <QString>

namespace sim {

class Axes;
class Memory;
class ProgramStore;
class Rtc;

class Interpreter
{
public:
    Interpreter(Memory &memory, const Axes &axes, const ProgramStore &program, const Rtc &rtc);

    Err evalValue(const QString &expr, Value &v);
    Err evalNumber(const QString &expr, qint64 &n);       // a string or a point is a type error
    Err assign(const QString &name, const QString &expr); // name in upper case
    Err assignMbk(const QString &stmt);                   // the whole "MBK(a~cast)=expr"
    // "a" or "a~Int|Wrd|Lng" inside MBK( ): the address and the cast in upper case.
    Err parseMbkRef(const QString &raw, qint64 &a, QString &cast);

    // For the parser: a variable's value, and a function called with its raw
    // argument text.
    Value variable(const QString &name) const;
    Err callFunction(const QString &name, const QString &raw, Value &v);
    // Brackets, signs and function calls nest the parser's recursion: past
    // kMaxNesting a line is refused rather than let it exhaust the stack.
    static constexpr int kMaxNesting = 256;
    // A string longer than this is refused rather than let a few doublings
    // (S$=S$+S$) eat the memory.
    static constexpr qsizetype kMaxString = 64 * 1024;
    bool enterNested() { return ++m_nesting <= kMaxNesting; }
    void leaveNested() { --m_nesting; }

private:
    Memory &m_memory;
    const Axes &m_axes;
    const ProgramStore &m_program;
    const Rtc &m_rtc;
    int m_nesting = 0;
};

} // namespace sim
