// The simulated controller: its state and its command language, with no sockets.
//
// Everything here is driven from outside: handleLine()/feed() for what arrives on
// the wire, advance() for the passing of time. Nothing reads a real clock, so the
// tests can step the machine deterministically.
//
// Bit spaces (the numbers ON/OFF and IN() use):
//   0 .. 1023          general bits, byte n = bits 8n .. 8n+7. Outputs are bytes
//                      0-23, 48-71 and 96; inputs are bytes 24-47, 72-95 and 120.
//                      Input byte b+24 follows output byte b about 200 ms later.
//   -1 .. -8192        internal relays; bit k of IN(n) (n < 0) is relay 8n+7-k.
//   2000 .. 6095       CU bits, byte 2000 + (n-2000)/8, bit (n-2000)%8.
//   70000 .. 79999     MBK bits: MBK bit n is bit (n % 16) of MBK word n / 16, so
//                      the whole MBK bit area lives in words 4375 .. 4999 and a
//                      NEWM clears it together with the other words.
// MBK words are 16 bits at addresses 0 .. 65535; a ~Lng value keeps its low half
// in word a and its high half in word a+1.
//
// Axes are numbered X=0, Y=1, U=2, Z=3 (the order of P(0) and of the counters).
// LMT(0)/HPT(0) carry one byte per axis in the order X, Y, Z, U. In an HPT byte:
// bit 0 is wired to the board's general output of the same axis number (H_ON k),
// bit 1 is the origin sensor (position 0), bit 3 is "moving", bit 6 in-position.
// Register words: RR(axis) bit 0 busy, bit 1 moving in the minus direction,
// bit 2 +limit, bit 3 -limit (RR(ALL_A) packs those nibbles per axis byte like
// LMT); RR1(axis) the current speed in pulses/s; RR3(axis) the pulses still to
// go and RR3(axis,1) the target; PGE(0) the selected board; RR(ALL_E) 0.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

class ExprParser;

class Machine
{
public:
    static constexpr int kBoards = 4;
    static constexpr int kAxes = 4;
    static constexpr int kTasks = 64;
    static constexpr qint64 kLimit = 1000000;
    static constexpr qint64 kMbkWords = 65536;
    static constexpr qint64 kMaxPoint = 9999;
    static constexpr int kMaxLine = 64 * 1024;
    static constexpr int kBlockSize = 1400;
    static constexpr qint64 kBlockQuietMs = 20;
    static constexpr qint64 kStepMs = 10;        // one program line per task
    static constexpr qint64 kInputFollowMs = 200;
    static constexpr int kPrWidth = 78;

    enum class TaskState { Stopped = 0, Running = 1, Break = 3 };

    // Failures a command can report; each has a fixed message (errorText()).
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

    // One thing the byte stream delivered, with the machine's answer to it.
    struct Input {
        enum class Kind { Line, Attention, Block };
        Kind kind = Kind::Line;
        QString line;     // decoded command line (Kind::Line), without CR/LF
        QByteArray reply; // exact bytes to send back
    };
    // Return false to stop consuming the rest of the bytes handed to feed().
    using InputSink = std::function<bool(const Input &)>;

    Machine();

    // --- the wire ---------------------------------------------------------
    // Runs one command line (already decoded) and returns the whole answer:
    // CR LF + line for every output line, then CR LF "#" (or "#?" while a task
    // stands at a breakpoint). In load mode an accepted program line answers
    // with the bare prompt.
    QByteArray handleLine(const QString &line);
    // The attention byte 0x01.
    QByteArray attention();
    // Raw bytes after login: lines end at CR (a LF or NUL right after it is
    // ignored; a lone LF also ends a line), 0x01 is attention, 0x02 starts a
    // program block. Each complete item is executed and handed to sink.
    void feed(const QByteArray &bytes, const InputSink &sink);
    QByteArray feed(const QByteArray &bytes); // all replies, concatenated
    // Forget any half-received line or block (a new session starts).
    void resetInput();

    // --- time -------------------------------------------------------------
    void advance(qint64 ms);
    qint64 now() const { return m_now; }
    // Output produced by time passing (program PRINTs, breakpoint stops, the
    // prompt after a block that ended by quiet). Cleared by the call.
    QByteArray takeOutput();

    // --- state, for tests and the server -------------------------------
    bool bit(qint64 n) const;
    void setBit(qint64 n, bool on); // like ON/OFF, but inputs may be set too
    quint16 mbkWord(qint64 a) const;
    void setMbkWord(qint64 a, quint16 v);
    QString variable(const QString &name) const; // numbers as decimal text
    void setVariable(const QString &name, const QString &text);
    void setVariable(const QString &name, qint64 value);
    std::array<qint64, 4> point(qint64 n) const;
    qint64 position(int axis, int board = -1) const;
    qint64 counter(int axis, int board = -1) const;
    bool moving(int axis, int board = -1) const;
    qint64 acceleration(int axis, int board = -1) const;
    bool generalOutput(int k, int board = -1) const;
    int selectedBoard() const { return m_board; }
    QMap<qint64, QString> programLines() const { return m_program; }
    QStringList breakpoints() const { return m_breakpoints; }
    TaskState taskState(int n) const;
    qint64 taskLine(int n) const;
    bool loadMode() const { return m_loadMode; }
    bool machineMode() const { return m_machineMode; }
    bool atBreakpoint() const;
    QByteArray blockBuffer() const { return m_blockBuffer; }
    QDateTime clock() const;
    void setClock(const QDateTime &localTime);
    // Holds LMT(0) and HPT(0) at fixed words, for signals the axis model never
    // raises (an alarm, a wired input); std::nullopt returns a word to the model.
    void pinSignalWords(std::optional<qint64> lmt, std::optional<qint64> hpt);

    static QString errorText(Err e);

private:
    friend class ExprParser;

    struct Value {
        bool isString = false;
        qint64 num = 0;
        QString str;
        QList<qint64> multi; // P(n): four values at once, only printable
        QString text() const;
    };
    struct AxisState {
        double exact = 0;
        qint64 pos = 0;
        qint64 counter = 0;
        qint64 target = 0;
        double speed = 0; // pulses per second, always >= 0
        qint64 accel = 1000;
        bool moving = false;
    };
    struct Board {
        std::array<AxisState, kAxes> axes;
        std::array<bool, 4> hout{};
    };
    struct Task {
        TaskState state = TaskState::Stopped;
        qint64 line = 0;
        qint64 nextAt = 0;
        bool skipBreak = false;
        bool everRun = false;
    };
    struct Follow {
        qint64 at;
        qint64 bit;
        bool on;
    };
    enum class Flow { Next, Jump, End, Wait, Error };
    struct FlowResult {
        Flow flow = Flow::Next;
        qint64 value = 0; // jump target or wait time
        Err err = Err::None;
    };

    using Handler = Err (Machine::*)(const QString &args);
    struct Command {
        const char *keyword;
        Handler run;
        bool inProgram; // otherwise a no-op inside a running program
    };
    static const std::vector<Command> &commandTable();

    // output
    void out(const QString &line);
    void outPr(const QStringList &items);
    QByteArray prompt() const;
    QByteArray errorReply(Err e) const;
    static QByteArray encode(const QString &text);

    // statements
    Err runLine(const QString &line);
    Err runStatement(const QString &stmt, bool inProgram, bool *known = nullptr);
    Err storeProgramLine(const QString &line, bool loadMode);
    static bool validStatementText(const QString &text);
    static QStringList splitStatements(const QString &line);
    static QStringList splitArgs(const QString &args);
    Err evalValue(const QString &expr, Value &v);
    Err evalNumber(const QString &expr, qint64 &n);
    Err callFunction(const QString &name, const QString &raw, Value &v);
    Value readVariable(const QString &name) const;
    Err assign(const QString &name, const QString &expr);
    Err assignMbk(const QString &stmt);
    static int axisIndex(const QString &name); // -1 none, 4 = ALL_A
    bool parseMbkRef(const QString &raw, qint64 &a, QString &cast, Err &err);

    // bits
    enum class BitKind { None, Output, Input, Relay, Cu, Mbk, OtherGeneral };
    static BitKind bitKind(qint64 n);
    void writeBit(qint64 n, bool on);
    Err forceBit(qint64 n, bool on);
    Err readInByte(qint64 n, bool word, qint64 &v) const;

    // MBK
    bool readMbk(qint64 a, const QString &cast, qint64 &v) const;
    Err writeMbk(qint64 a, const QString &cast, qint64 v);

    // axes
    Board &board() { return m_boards[static_cast<size_t>(m_board)]; }
    const Board &board() const { return m_boards[static_cast<size_t>(m_board)]; }
    const Board &boardAt(int b) const { return m_boards[static_cast<size_t>(b < 0 ? m_board : b)]; }
    void stepMotion(double dtSec);
    void moveAxis(AxisState &ax, qint64 delta);
    void stopAxis(AxisState &ax);
    void setPositionOf(AxisState &ax, qint64 p);
    qint64 lmtWord() const;
    qint64 hptWord() const;
    qint64 rrByte(const AxisState &ax) const;
    static int byteShift(int axis);

    // program
    qint64 findLabel(const QString &label) const;
    Err resolveTarget(const QString &target, qint64 &line) const;
    bool hasBreakpoint(qint64 line) const;
    void startTask(int n, qint64 line);
    void runTasks();
    FlowResult executeLine(int task, const QString &text);
    QByteArray breakText(qint64 line) const;
    void writeTaskWord(int n, qint64 line);
    void stopAllTasks();
    void finishBlock(QByteArray *reply);
    bool busy() const;
    qint64 nextEventAt() const;

    // commands
    Err cmdMachineMode(const QString &args);
    Err cmdQuit(const QString &args);
    Err cmdPrint(const QString &args);
    Err cmdArray(const QString &args);
    Err cmdOn(const QString &args);
    Err cmdOff(const QString &args);
    Err cmdClrOutp(const QString &args);
    Err cmdFill(const QString &args);
    Err cmdMpg(const QString &args);
    Err cmdAccel(const QString &args);
    Err cmdRmvs(const QString &args);
    Err cmdStop(const QString &args);
    Err cmdHOn(const QString &args);
    Err cmdHOff(const QString &args);
    Err cmdSetp(const QString &args);
    Err cmdClrpos(const QString &args);
    Err cmdNew(const QString &args);
    Err cmdNewp(const QString &args);
    Err cmdNewm(const QString &args);
    Err cmdPls(const QString &args);
    Err cmdSMbk(const QString &args);
    Err cmdEcho(const QString &args);
    Err cmdRenum(const QString &args);
    Err cmdList(const QString &args);
    Err cmdMmcLoad(const QString &args);
    Err cmdRun(const QString &args);
    Err cmdTask(const QString &args);
    Err cmdBkp(const QString &args);
    Err cmdContinue(const QString &args);
    Err cmdTrace(const QString &args);
    Err cmdMon(const QString &args);
    Err cmdSetRtc(const QString &args);
    Err hout(const QString &args, bool on);

    // state
    qint64 m_now = 0;
    QByteArray *m_sink = nullptr; // where out() writes: the reply or m_async
    QByteArray m_async;

    std::vector<quint8> m_general;  // 128 bytes
    std::vector<bool> m_relays;     // relay -1 at index 0
    std::vector<bool> m_cu;         // CU bit 2000 at index 0
    std::vector<quint16> m_mbk;
    std::deque<Follow> m_follows;

    QHash<QString, Value> m_vars;
    QHash<QString, QMap<qint64, Value>> m_arrays;
    QMap<qint64, std::array<qint64, 4>> m_points;

    std::array<Board, kBoards> m_boards;
    int m_board = 0;
    std::optional<qint64> m_lmtPin;
    std::optional<qint64> m_hptPin;

    QMap<qint64, QString> m_program;
    QStringList m_breakpoints;
    std::array<Task, kTasks> m_tasks;
    int m_runningTask = -1; // task whose line is executing (-1: the console)

    bool m_loadMode = false;
    bool m_machineMode = false;
    qint64 m_listNext = -1; // where a bare LIST continues (-1: from the top)
    qint64 m_listCount = 20;

    QDateTime m_clockBase; // naive local time, held as UTC so no zone applies
    qint64 m_clockSetAt = 0;

    // input stream
    QByteArray m_line;
    bool m_lineOverflow = false;
    bool m_lastCr = false;
    bool m_inBlock = false;
    QByteArray m_blockPiece;
    qint64 m_blockLastByteAt = 0;
    QByteArray m_blockBuffer;
};

} // namespace sim
