// The commands on the memory spaces and the console: PR (PRINT, P), PRA, ON,
// OFF, CLR_OUTP, FILL, NEWM and S_MBK.
#pragma once

#include "sim/error.h"

#include <QString>

namespace sim {

class Dispatcher;
class Interpreter;
class Memory;
class Output;

class MemoryCommands
{
public:
    MemoryCommands(Memory &memory, Interpreter &interpreter, Output &output);
    void install(Dispatcher &dispatcher);

private:
    Err print(const QString &args);
    Err array(const QString &args);
    Err force(const QString &args, bool on);
    Err clearOutputs(const QString &args);
    Err fill(const QString &args);
    Err listMbk(const QString &args);

    Memory &m_memory;
    Interpreter &m_interpreter;
    Output &m_output;
};

} // namespace sim
