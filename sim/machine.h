// The simulated controller, with no sockets: the façade that owns its parts
// (memory spaces, axes, clock, program store, interpreter, command table) and
// speaks for them on the wire.
//
// Everything here is driven from outside: handleLine()/feed() for what arrives on
// the wire, advance() for the passing of time. Nothing reads a real clock, so the
// tests can step the machine deterministically. What the numbers of bits, MBK
// words and axes mean is told in memory.h and axes.h.
#pragma once

#include "sim/axes.h"
#include "sim/axiscommands.h"
#include "sim/dispatcher.h"
#include "sim/error.h"
#include "sim/interpreter.h"
#include "sim/memory.h"
#include "sim/memorycommands.h"
#include "sim/output.h"
#include "sim/programrunner.h"
#include "sim/programstore.h"
#include "sim/rtc.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace sim {

class Machine
{
public:
    static constexpr qint64 kLimit = Axes::kLimit;
    static constexpr int kMaxLine = 64 * 1024;
    static constexpr int kBlockSize = 1400;
    static constexpr qint64 kBlockQuietMs = 20;
    static constexpr qint64 kStepMs = ProgramStore::kStepMs;
    static constexpr qint64 kInputFollowMs = Memory::kInputFollowMs;

    using TaskState = ProgramStore::TaskState;
    using Err = sim::Err;

    // One thing the byte stream delivered, with the machine's answer to it.
    struct Input
    {
        enum class Kind { Line, Attention, Block };
        Kind kind = Kind::Line;
        QString line;     // decoded command line (Kind::Line), without CR/LF
        QByteArray reply; // exact bytes to send back
    };
    // Return false to stop consuming the rest of the bytes handed to feed().
    using InputSink = std::function<bool(const Input &)>;
    // Where one client's byte stream stands: its half-received line or block,
    // and whether it is in load mode. Each client has its own, so that one
    // client's bytes never join another's, nor its load mode store another's
    // commands as program lines.
    struct Stream
    {
        bool loadMode = false;
        QByteArray line;
        bool lineOverflow = false;
        bool lastCr = true;
        bool inBlock = false;
        QByteArray blockPiece;
        qint64 blockLastByteAt = 0;
    };

    Machine();
    Machine(const Machine &) = delete;
    Machine &operator=(const Machine &) = delete;

    // --- the wire ---------------------------------------------------------
    // Runs one command line (already decoded) and returns the whole answer:
    // CR LF + line for every output line, then CR LF "#" (or "#?" while a task
    // stands at a breakpoint). In load mode an accepted program line answers
    // with the bare prompt.
    // These two act for the machine's own stream (the one feed(bytes) reads).
    QByteArray handleLine(const QString &line) { return handleLine(m_stream, line); }
    // The attention byte 0x01.
    QByteArray attention() { return attention(m_stream); }
    // Raw bytes after login: lines end at CR (a LF or NUL right after it is
    // ignored; a lone LF also ends a line), 0x01 is attention, 0x02 starts a
    // program block. Each complete item is executed and handed to sink.
    void feed(const QByteArray &bytes, const InputSink &sink) { feed(m_stream, bytes, sink); }
    void feed(Stream &stream, const QByteArray &bytes, const InputSink &sink);
    QByteArray feed(const QByteArray &bytes); // all replies, concatenated
    // Forget any half-received line or block (a new session starts).
    void resetInput() { m_stream = Stream(); }
    // The answer to a block of `stream` that ended by quiet, once it has; else
    // nothing. (The machine's own stream answers through takeOutput().)
    QByteArray endQuietBlock(Stream &stream);

    // --- time -------------------------------------------------------------
    void advance(qint64 ms);
    qint64 now() const { return m_now; }
    // Output produced by time passing (program PRINTs, breakpoint stops, the
    // prompt after a block that ended by quiet). Cleared by the call.
    QByteArray takeOutput() { return m_output.takeAsync(); }

    // --- state, for tests and the server -------------------------------
    bool bit(qint64 n) const { return m_memory.bit(n); }
    void setBit(qint64 n, bool on) { m_memory.setBit(n, on); } // like ON/OFF, but inputs may be set too
    quint16 mbkWord(qint64 a) const { return m_memory.mbkWord(a); }
    void setMbkWord(qint64 a, quint16 v) { m_memory.setMbkWord(a, v); }
    QString variable(const QString &name) const; // numbers as decimal text
    void setVariable(const QString &name, const QString &text);
    void setVariable(const QString &name, qint64 value);
    std::array<qint64, 4> point(qint64 n) const { return m_axes.point(n); }
    qint64 position(int axis, int board = -1) const { return m_axes.position(axis, board); }
    qint64 counter(int axis, int board = -1) const { return m_axes.counter(axis, board); }
    bool moving(int axis, int board = -1) const { return m_axes.moving(axis, board); }
    qint64 acceleration(int axis, int board = -1) const { return m_axes.acceleration(axis, board); }
    bool generalOutput(int k, int board = -1) const { return m_axes.generalOutput(k, board); }
    int selectedBoard() const { return m_axes.selectedBoard(); }
    QMap<qint64, QString> programLines() const { return m_program.lines(); }
    QStringList breakpoints() const { return m_program.breakpoints(); }
    TaskState taskState(int n) const { return m_program.taskState(n); }
    qint64 taskLine(int n) const { return m_program.taskLine(n); }
    bool loadMode() const { return m_stream.loadMode; }
    bool machineMode() const { return m_machineMode; }
    bool atBreakpoint() const { return m_program.atBreakpoint(); }
    QByteArray blockBuffer() const { return m_program.blocks(); }
    QDateTime clock() const { return m_rtc.clock(); }
    void setClock(const QDateTime &localTime) { m_rtc.setClock(localTime); }
    // Holds LMT(0) and HPT(0) at fixed words, for signals the axis model never
    // raises (an alarm, a wired input); std::nullopt returns a word to the model.
    void pinSignalWords(std::optional<qint64> lmt, std::optional<qint64> hpt)
    {
        m_axes.pinSignalWords(lmt, hpt);
    }

    static QString errorText(Err e) { return sim::errorText(e); }

private:
    QByteArray prompt() const;
    // The program store holds the load mode of the stream being served.
    QByteArray handleLine(Stream &stream, const QString &line);
    QByteArray attention(Stream &stream);
    Err runLine(const QString &line);
    void finishBlock(Stream &stream, QByteArray *reply);
    qint64 nextEventAt() const;
    Err machineModeCommand(const QString &args);

    // The parts hold references to m_now and to one another: the order of
    // these members is the order of construction.
    qint64 m_now = 0;
    Output m_output;
    Memory m_memory{m_now};
    Axes m_axes;
    Rtc m_rtc{m_now};
    ProgramStore m_program{m_now};
    Interpreter m_interpreter{m_memory, m_axes, m_program, m_rtc};
    Dispatcher m_dispatcher{m_interpreter};
    MemoryCommands m_memoryCommands{m_memory, m_interpreter, m_output};
    AxisCommands m_axisCommands{m_axes, m_interpreter, m_output};
    ProgramRunner m_runner{m_program, m_dispatcher, m_interpreter, m_memory, m_output, m_now};
    bool m_machineMode = false;

    // Fresh input, unlike a reset one, has no CR before it whose LF to skip.
    Stream m_stream = [] {
        Stream s;
        s.lastCr = false;
        return s;
    }();
};

} // namespace sim
