// What the trend can plot: a value that one of the monitor's reads yields,
// named as the pages name it, with the exchange that reads it (the very
// command the page sends for it) and the rule that takes the value out of
// the reply.
#pragma once

#include "monitor/banks.h"
#include "panels/mbk.h"

#include <QString>
#include <optional>

namespace trend {

enum class Extract {
    Number,       // the cleaned reply is one number (variables, MBK words)
    Bit,          // bit `index` of a bit query's word, as 0 or 1
    AxisPosition, // position of axis `index` (X, Y, U, Z) in the axis query's reply
    AxisCounter,  // counter of axis `index`
    TaskStep,     // the step of a task row's reply
};

struct Probe
{
    QString label;   // "OUT 19", "A", "MBK(100~Int)", "Position X", "Task 3 step"
    QString command; // the exchange that reads it
    Extract extract = Extract::Number;
    int index = 0;

    friend bool operator==(const Probe &a, const Probe &b)
    {
        return a.command == b.command && a.extract == b.extract && a.index == b.index;
    }
    friend bool operator!=(const Probe &a, const Probe &b) { return !(a == b); }
};

// Two commands with the same key are one read: the command itself, except
// that the axis query is one read whichever register it also asks for (the
// positions and counters do not depend on it).
QString readKey(const QString &command);

// The value a reply to the probe's command gives, or nothing when the reply
// does not carry one (an error text, a reply cut short).
std::optional<double> valueOf(const Probe &probe, const QString &reply);

// Bit `lamp` of the bank the group shows (`bankWord` as in its popup).
std::optional<Probe> bitProbe(monitor::BitGroup group, const QString &bankWord, int lamp);
// A numeric variable row's name, blank-trimmed; nothing for a string
// variable or a name the row would not read.
std::optional<Probe> variableProbe(const QString &name);
// An MBK row: its address text and the entry size; nothing for an empty row.
std::optional<Probe> mbkProbe(const QString &addressText, panels::MbkSize size);
// Position (or counter) of axis 0..3, X, Y, U, Z.
Probe axisProbe(bool counter, int axis);
// The step of a task row: its task number text.
std::optional<Probe> taskProbe(const QString &taskNoText);

} // namespace trend
