// A value the trend can plot: one that a monitor page's read yields, named as
// the page names it, with the exchange that reads it (the very command the
// page sends for it) and the rule that takes the value out of the reply.
// Pages build these for their value controls; the trend samples them.
#pragma once

#include <QString>

namespace ui {

struct PlotProbe
{
    enum class Extract {
        Number,       // the cleaned reply is one number (variables, MBK words)
        Bit,          // bit `index` of a bit query's word, as 0 or 1
        AxisPosition, // position of axis `index` (X, Y, U, Z) in the axis query's reply
        AxisCounter,  // counter of axis `index`
        TaskStep,     // the step of a task row's reply
    };

    QString label;   // "OUT 19", "A", "MBK(100~Int)", "Position X", "Task 3 step"
    QString command; // the exchange that reads it
    Extract extract = Extract::Number;
    int index = 0;

    friend bool operator==(const PlotProbe &a, const PlotProbe &b)
    {
        return a.command == b.command && a.extract == b.extract && a.index == b.index;
    }
    friend bool operator!=(const PlotProbe &a, const PlotProbe &b) { return !(a == b); }
};

} // namespace ui
