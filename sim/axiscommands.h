// The commands on the motion boards and the point table: MPG, ACCEL, RMVS,
// STOP, H_ON, H_OFF, SETP, CLRPOS, NEWP and PLS.
#pragma once

#include "sim/error.h"

#include <QString>

namespace sim {

class Axes;
class Dispatcher;
class Interpreter;
class Output;

class AxisCommands
{
public:
    AxisCommands(Axes &axes, Interpreter &interpreter, Output &output);
    void install(Dispatcher &dispatcher);

private:
    Err selectBoard(const QString &args);
    Err accel(const QString &args);
    Err move(const QString &args);
    Err stop(const QString &args);
    Err generalOutput(const QString &args, bool on);
    Err setPoint(const QString &args);
    Err clearPosition(const QString &args);
    Err listPoints(const QString &args);

    Axes &m_axes;
    Interpreter &m_interpreter;
    Output &m_output;
};

} // namespace sim
