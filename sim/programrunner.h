// Running the stored program: each running task executes one line per step,
// stops at breakpoints and reports errors into the asynchronous output. Also
// the commands that edit, list, start, step and watch the program: NEW, ECHO,
// RENUM, LIST, Q, MMC_LOAD, RUN, TASK, BKP, N, T and MON.
#pragma once

#include "sim/error.h"

#include <QByteArray>
#include <QString>

namespace sim {

class Dispatcher;
class Interpreter;
class Memory;
class Output;
class ProgramStore;

class ProgramRunner
{
public:
    // now: the machine's time in ms.
    ProgramRunner(ProgramStore &program, Dispatcher &dispatcher, Interpreter &interpreter, Memory &memory,
                  Output &output, const qint64 &now);
    void install(Dispatcher &dispatcher);

    // Every task whose next step is due runs one line.
    void runTasks();

private:
    enum class Flow { Next, Jump, End, Wait, Error };
    struct FlowResult
    {
        Flow flow = Flow::Next;
        qint64 value = 0; // jump target or wait time
        Err err = Err::None;
    };

    FlowResult executeLine(const QString &text);
    QByteArray breakText(qint64 line) const;
    void writeTaskWord(int n, qint64 line);

    Err loadMode(const QString &args);
    Err list(const QString &args);
    Err loadBlocks(const QString &args);
    Err run(const QString &args);
    Err task(const QString &args);
    Err breakpoint(const QString &args);
    Err resume(const QString &args);
    Err trace(const QString &args);
    Err monitor(const QString &args);

    ProgramStore &m_program;
    Dispatcher &m_dispatcher;
    Interpreter &m_interpreter;
    Memory &m_memory;
    Output &m_output;
    const qint64 &m_now;
};

} // namespace sim
