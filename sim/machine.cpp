// The simulated controller's command language and state model.
#include "sim/machine.h"

#include "link/protocol.h"
#include "link/sjis.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {

namespace {

using Err = Machine::Err;

constexpr qint64 kNever = std::numeric_limits<qint64>::max();
constexpr qint64 kListDone = std::numeric_limits<qint64>::max();
constexpr qint64 kMaxLineNumber = 9999999;
constexpr double kMaxSpeed = 50000.0; // pulses per second
constexpr double kMinSpeed = 200.0;   // so that a decelerating axis always arrives
constexpr double kAccelScale = 100.0; // ACCEL 1000 -> 100000 pulses/s^2
constexpr qint64 kMbkBitFirst = 70000;
constexpr qint64 kMbkBitLast = 79999;
constexpr qint64 kCuFirst = 2000;
constexpr qint64 kCuLast = 6095;
constexpr qint64 kRelayLast = -8192;
constexpr int kAsyncCap = 4 * 1024 * 1024;
constexpr int kBlockBufferCap = 16 * 1024 * 1024;

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// A plain decimal integer: optional sign, digits, nothing else.
bool parseInteger(const QString &s, qint64 &v)
{
    if (s.isEmpty())
        return false;
    int i = 0;
    if (s.at(0) == QLatin1Char('-') || s.at(0) == QLatin1Char('+'))
        i = 1;
    if (i >= s.size())
        return false;
    for (int k = i; k < s.size(); ++k) {
        if (!s.at(k).isDigit() || s.at(k).unicode() > 127)
            return false;
    }
    bool ok = false;
    v = s.toLongLong(&ok);
    return ok;
}

QString firstWord(const QString &s)
{
    int end = 0;
    while (end < s.size() && !s.at(end).isSpace())
        ++end;
    return s.left(end);
}

// Index just after the ')' matching the '(' at open, honouring quotes; -1 if none.
int matchParen(const QString &s, int open)
{
    int depth = 0;
    bool quoted = false;
    for (int i = open; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('(')) {
            ++depth;
        } else if (!quoted && c == QLatin1Char(')')) {
            if (--depth == 0)
                return i + 1;
        }
    }
    return -1;
}

// Splits at top-level occurrences of any of seps (outside quotes and parentheses).
QStringList splitTopLevel(const QString &s, const QString &seps, bool dropEmpty)
{
    QStringList parts;
    QString cur;
    int depth = 0;
    bool quoted = false;
    for (const QChar c : s) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('(')) {
            ++depth;
        } else if (!quoted && c == QLatin1Char(')')) {
            depth = std::max(0, depth - 1);
        } else if (!quoted && depth == 0 && seps.contains(c)) {
            if (!dropEmpty || !cur.isEmpty())
                parts << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!dropEmpty || !cur.isEmpty())
        parts << cur;
    return parts;
}

// Everything before a "/*" that is not inside a quoted string.
QString stripComment(const QString &line)
{
    bool quoted = false;
    for (int i = 0; i + 1 < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && line.at(i) == QLatin1Char('/') && line.at(i + 1) == QLatin1Char('*'))
            return line.left(i);
    }
    return line;
}

qint64 wrapAdd(qint64 a, qint64 b)
{
    return static_cast<qint64>(static_cast<quint64>(a) + static_cast<quint64>(b));
}

qint64 wrapSub(qint64 a, qint64 b)
{
    return static_cast<qint64>(static_cast<quint64>(a) - static_cast<quint64>(b));
}

qint64 wrapMul(qint64 a, qint64 b)
{
    return static_cast<qint64>(static_cast<quint64>(a) * static_cast<quint64>(b));
}

int bcd(qint64 byte, bool &ok)
{
    const int hi = static_cast<int>((byte >> 4) & 0xF);
    const int lo = static_cast<int>(byte & 0xF);
    if (hi > 9 || lo > 9)
        ok = false;
    return hi * 10 + lo;
}

} // namespace

// ---------------------------------------------------------------------------
// Expressions: numbers (decimal, &H), strings, variables, functions, the usual
// operators. Items of PR are separated by blanks, so an item has no blanks.

class ExprParser
{
public:
    ExprParser(Machine &m, const QString &s) : m_m(m), m_s(s) {}

    Err parse(Machine::Value &v)
    {
        Err e = parseOr(v);
        if (e != Err::None)
            return e;
        skipWs();
        return m_pos == m_s.size() ? Err::None : Err::Syntax;
    }

private:
    using Value = Machine::Value;

    void skipWs()
    {
        while (m_pos < m_s.size() && m_s.at(m_pos).isSpace())
            ++m_pos;
    }

    bool matchOp(const char *op)
    {
        skipWs();
        const QLatin1String o(op);
        if (QStringView(m_s).mid(m_pos).startsWith(o)) {
            m_pos += o.size();
            return true;
        }
        return false;
    }

    bool matchWord(const char *word)
    {
        skipWs();
        const QLatin1String w(word);
        if (!QStringView(m_s).mid(m_pos).startsWith(w, Qt::CaseInsensitive))
            return false;
        const int end = m_pos + w.size();
        if (end < m_s.size() && (isIdentChar(m_s.at(end)) || m_s.at(end) == QLatin1Char('$')))
            return false;
        m_pos = end;
        return true;
    }

    static bool numeric(const Value &v) { return !v.isString && v.multi.isEmpty(); }

    Err parseOr(Value &v)
    {
        Err e = parseAnd(v);
        while (e == Err::None) {
            bool isXor = false;
            if (matchWord("OR"))
                isXor = false;
            else if (matchWord("XOR"))
                isXor = true;
            else
                break;
            Value r;
            if ((e = parseAnd(r)) != Err::None)
                return e;
            if (!numeric(v) || !numeric(r))
                return Err::Type;
            v.num = isXor ? (v.num ^ r.num) : (v.num | r.num);
        }
        return e;
    }

    Err parseAnd(Value &v)
    {
        Err e = parseCmp(v);
        while (e == Err::None && matchWord("AND")) {
            Value r;
            if ((e = parseCmp(r)) != Err::None)
                return e;
            if (!numeric(v) || !numeric(r))
                return Err::Type;
            v.num &= r.num;
        }
        return e;
    }

    Err parseCmp(Value &v)
    {
        Err e = parseAdd(v);
        if (e != Err::None)
            return e;
        static const char *const ops[] = {"<>", "<=", ">=", "=", "<", ">"};
        for (const char *op : ops) {
            if (!matchOp(op))
                continue;
            Value r;
            if ((e = parseAdd(r)) != Err::None)
                return e;
            int c = 0;
            if (v.isString && r.isString)
                c = QString::compare(v.str, r.str);
            else if (numeric(v) && numeric(r))
                c = v.num < r.num ? -1 : (v.num > r.num ? 1 : 0);
            else
                return Err::Type;
            const QByteArray o(op);
            bool res = false;
            if (o == "<>")
                res = c != 0;
            else if (o == "<=")
                res = c <= 0;
            else if (o == ">=")
                res = c >= 0;
            else if (o == "=")
                res = c == 0;
            else if (o == "<")
                res = c < 0;
            else
                res = c > 0;
            v = Value();
            v.num = res ? -1 : 0;
            return Err::None;
        }
        return Err::None;
    }

    Err parseAdd(Value &v)
    {
        Err e = parseMul(v);
        while (e == Err::None) {
            bool minus = false;
            if (matchOp("+"))
                minus = false;
            else if (matchOp("-"))
                minus = true;
            else
                break;
            Value r;
            if ((e = parseMul(r)) != Err::None)
                return e;
            if (v.isString && r.isString && !minus)
                v.str += r.str;
            else if (numeric(v) && numeric(r))
                v.num = minus ? wrapSub(v.num, r.num) : wrapAdd(v.num, r.num);
            else
                return Err::Type;
        }
        return e;
    }

    Err parseMul(Value &v)
    {
        Err e = parseUnary(v);
        while (e == Err::None) {
            int op = 0;
            if (matchOp("*"))
                op = 1;
            else if (matchOp("/"))
                op = 2;
            else if (matchWord("MOD"))
                op = 3;
            else
                break;
            Value r;
            if ((e = parseUnary(r)) != Err::None)
                return e;
            if (!numeric(v) || !numeric(r))
                return Err::Type;
            if (op == 1) {
                v.num = wrapMul(v.num, r.num);
            } else {
                if (r.num == 0)
                    return Err::DivZero;
                if (r.num == -1)
                    v.num = op == 2 ? wrapSub(0, v.num) : 0;
                else
                    v.num = op == 2 ? v.num / r.num : v.num % r.num;
            }
        }
        return e;
    }

    Err parseUnary(Value &v)
    {
        if (matchOp("-")) {
            Err e = parseUnary(v);
            if (e != Err::None)
                return e;
            if (!numeric(v))
                return Err::Type;
            v.num = wrapSub(0, v.num);
            return Err::None;
        }
        if (matchOp("+"))
            return parseUnary(v);
        if (matchWord("NOT")) {
            Err e = parseUnary(v);
            if (e != Err::None)
                return e;
            if (!numeric(v))
                return Err::Type;
            v.num = ~v.num;
            return Err::None;
        }
        return parsePrimary(v);
    }

    Err parsePrimary(Value &v)
    {
        skipWs();
        v = Value();
        if (m_pos >= m_s.size())
            return Err::Syntax;
        const QChar c = m_s.at(m_pos);
        if (c == QLatin1Char('(')) {
            ++m_pos;
            Err e = parseOr(v);
            if (e != Err::None)
                return e;
            return matchOp(")") ? Err::None : Err::Syntax;
        }
        if (c == QLatin1Char('"')) {
            const int close = m_s.indexOf(QLatin1Char('"'), m_pos + 1);
            if (close < 0)
                return Err::Syntax;
            v.isString = true;
            v.str = m_s.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            return Err::None;
        }
        if (c == QLatin1Char('&')) {
            if (m_pos + 1 >= m_s.size() || m_s.at(m_pos + 1).toUpper() != QLatin1Char('H'))
                return Err::Syntax;
            m_pos += 2;
            quint64 acc = 0;
            int digits = 0;
            while (m_pos < m_s.size()) {
                const int d = QStringLiteral("0123456789ABCDEF").indexOf(m_s.at(m_pos).toUpper());
                if (d < 0)
                    break;
                if (++digits > 16)
                    return Err::Range;
                acc = acc * 16 + static_cast<quint64>(d);
                ++m_pos;
            }
            if (digits == 0)
                return Err::Syntax;
            v.num = static_cast<qint64>(acc);
            return Err::None;
        }
        if (c.isDigit() && c.unicode() < 128) {
            const int start = m_pos;
            while (m_pos < m_s.size() && m_s.at(m_pos).isDigit() && m_s.at(m_pos).unicode() < 128)
                ++m_pos;
            bool ok = false;
            v.num = m_s.mid(start, m_pos - start).toLongLong(&ok);
            return ok ? Err::None : Err::Range;
        }
        if (isIdentStart(c)) {
            const int start = m_pos;
            while (m_pos < m_s.size() && isIdentChar(m_s.at(m_pos)))
                ++m_pos;
            if (m_pos < m_s.size() && m_s.at(m_pos) == QLatin1Char('$'))
                ++m_pos;
            const QString name = m_s.mid(start, m_pos - start).toUpper();
            if (m_pos < m_s.size() && m_s.at(m_pos) == QLatin1Char('(')) {
                const int end = matchParen(m_s, m_pos);
                if (end < 0)
                    return Err::Syntax;
                const QString raw = m_s.mid(m_pos + 1, end - m_pos - 2);
                m_pos = end;
                return m_m.callFunction(name, raw, v);
            }
            v = m_m.readVariable(name);
            return Err::None;
        }
        return Err::Syntax;
    }

    Machine &m_m;
    const QString &m_s;
    int m_pos = 0;
};

// ---------------------------------------------------------------------------

QString Machine::Value::text() const
{
    if (isString)
        return str;
    if (!multi.isEmpty()) {
        QStringList parts;
        for (qint64 n : multi)
            parts << QString::number(n);
        return parts.join(QLatin1Char(' '));
    }
    return QString::number(num);
}

Machine::Machine()
    : m_general(128, 0)
    , m_relays(static_cast<size_t>(-kRelayLast), false)
    , m_cu(static_cast<size_t>(kCuLast - kCuFirst + 1), false)
    , m_mbk(static_cast<size_t>(kMbkWords), 0)
{
    setClock(QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
}

QString Machine::errorText(Err e)
{
    switch (e) {
    case Err::None:
        return QString();
    case Err::Syntax:
        return QStringLiteral("構文エラー (Syntax Error)");
    case Err::NoBoard:
        return QStringLiteral("ボードがありません (No board)");
    case Err::Range:
        return QStringLiteral("範囲外の値です (Out of Range)");
    case Err::InputForce:
        return QStringLiteral("入力は操作できません (Input cannot be forced)");
    case Err::LineTooLong:
        return QStringLiteral("行が長すぎます (Line too long)");
    case Err::BadChar:
        return QStringLiteral("文字コードが不正です (Invalid Character)");
    case Err::NotAtBreak:
        return QStringLiteral("ブレーク中ではありません (Not at Breakpoint)");
    case Err::NoLine:
        return QStringLiteral("行がありません (Undefined Line)");
    case Err::DivZero:
        return QStringLiteral("ゼロで除算しました (Division by Zero)");
    case Err::BadClock:
        return QStringLiteral("日時が不正です (Invalid Date/Time)");
    case Err::Type:
        return QStringLiteral("型が一致しません (Type Mismatch)");
    case Err::Memory:
        return QStringLiteral("メモリが不足しています (Out of Memory)");
    }
    return QString();
}

// ---------------------------------------------------------------------------
// Output

QByteArray Machine::encode(const QString &text)
{
    bool ok = false;
    QByteArray bytes = link::sjisEncode(text, &ok);
    if (ok)
        return bytes;
    // A test may hand us text that cp932 cannot carry; send what it can.
    bytes.clear();
    for (const QChar c : text) {
        const QByteArray one = link::sjisEncode(QString(c), &ok);
        bytes += ok ? one : QByteArray("?");
    }
    return bytes;
}

void Machine::out(const QString &line)
{
    if (!m_sink)
        return;
    if (m_sink == &m_async && m_async.size() > kAsyncCap)
        return; // nobody is collecting: drop rather than grow without bound
    *m_sink += "\r\n";
    *m_sink += encode(line);
}

void Machine::outPr(const QStringList &items)
{
    QString text = QLatin1Char(' ') + items.join(QLatin1Char(' '));
    while (text.size() > kPrWidth) {
        out(text.left(kPrWidth));
        text = QLatin1Char(' ') + text.mid(kPrWidth);
    }
    out(text);
}

QByteArray Machine::prompt() const
{
    return QByteArray(atBreakpoint() ? protocol::kBreakPromptLine : protocol::kPromptLine);
}

QByteArray Machine::errorReply(Err e) const
{
    return "\r\n\t" + encode(errorText(e));
}

// ---------------------------------------------------------------------------
// The wire

QByteArray Machine::handleLine(const QString &rawLine)
{
    QByteArray reply;
    QByteArray *const saved = m_sink;
    m_sink = &reply;
    const QString line = rawLine.trimmed();
    Err err = Err::None;
    bool bare = false;
    if (m_loadMode && firstWord(line).toUpper() != QLatin1String(protocol::kLoadModeWord) && !line.isEmpty()) {
        err = storeProgramLine(line, true);
        bare = err == Err::None;
    } else if (!line.isEmpty()) {
        err = runLine(line);
    }
    m_sink = saved;
    if (err != Err::None)
        reply += errorReply(err);
    if (bare)
        reply += prompt().mid(2);
    else
        reply += prompt();
    return reply;
}

QByteArray Machine::attention()
{
    stopAllTasks();
    m_listNext = -1;
    m_blockBuffer.clear();
    // A load that was cut short must not leave the next commands being stored
    // as program lines.
    m_loadMode = false;
    return prompt();
}

void Machine::resetInput()
{
    m_line.clear();
    m_lineOverflow = false;
    m_lastCr = true;
    m_inBlock = false;
    m_blockPiece.clear();
}

void Machine::finishBlock(QByteArray *reply)
{
    m_inBlock = false;
    QByteArray answer;
    if (m_blockBuffer.size() + m_blockPiece.size() > kBlockBufferCap)
        answer = errorReply(Err::Memory);
    else
        m_blockBuffer += m_blockPiece;
    m_blockPiece.clear();
    answer += prompt();
    if (reply)
        *reply = answer;
    else if (m_async.size() <= kAsyncCap)
        m_async += answer;
}

void Machine::feed(const QByteArray &bytes, const InputSink &sink)
{
    const char *const data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        if (m_inBlock) {
            const qsizetype take = std::min<qsizetype>(size - i, kBlockSize - m_blockPiece.size());
            m_blockPiece.append(data + i, take);
            i += take;
            m_blockLastByteAt = m_now;
            if (m_blockPiece.size() >= kBlockSize) {
                Input in;
                in.kind = Input::Kind::Block;
                finishBlock(&in.reply);
                if (!sink(in))
                    return;
            }
            continue;
        }
        const char c = data[i++];
        if ((c == '\n' || c == '\0') && m_lastCr) {
            m_lastCr = false;
            continue;
        }
        m_lastCr = false;
        if (c == protocol::kAttention) {
            m_line.clear();
            m_lineOverflow = false;
            Input in;
            in.kind = Input::Kind::Attention;
            in.reply = attention();
            if (!sink(in))
                return;
        } else if (c == protocol::kBlockStart) {
            m_line.clear();
            m_lineOverflow = false;
            m_inBlock = true;
            m_blockPiece.clear();
            m_blockLastByteAt = m_now;
        } else if (c == '\r' || c == '\n') {
            m_lastCr = c == '\r';
            Input in;
            in.kind = Input::Kind::Line;
            bool ok = false;
            in.line = link::sjisDecode(m_line, &ok);
            if (m_lineOverflow)
                in.reply = errorReply(Err::LineTooLong) + prompt();
            else if (!ok)
                in.reply = errorReply(Err::BadChar) + prompt();
            else
                in.reply = handleLine(in.line);
            m_line.clear();
            m_lineOverflow = false;
            if (!sink(in))
                return;
        } else {
            // Take the whole run of ordinary bytes at once: a flood of text
            // without line ends must stay cheap.
            qsizetype end = i;
            while (end < size && data[end] != '\r' && data[end] != '\n' && data[end] != protocol::kAttention
                   && data[end] != protocol::kBlockStart)
                ++end;
            const qsizetype run = end - (i - 1);
            const qsizetype room = kMaxLine - m_line.size();
            m_line.append(data + i - 1, std::min(run, room));
            if (run > room)
                m_lineOverflow = true;
            i = end;
        }
    }
}

QByteArray Machine::feed(const QByteArray &bytes)
{
    QByteArray all;
    feed(bytes, [&all](const Input &in) {
        all += in.reply;
        return true;
    });
    return all;
}

QByteArray Machine::takeOutput()
{
    QByteArray o;
    o.swap(m_async);
    return o;
}

// ---------------------------------------------------------------------------
// Time

bool Machine::busy() const
{
    for (const Board &b : m_boards) {
        for (const AxisState &ax : b.axes) {
            if (ax.moving)
                return true;
        }
    }
    return false;
}

qint64 Machine::nextEventAt() const
{
    qint64 next = kNever;
    if (!m_follows.empty())
        next = std::min(next, m_follows.front().at);
    for (const Task &t : m_tasks) {
        if (t.state == TaskState::Running)
            next = std::min(next, t.nextAt);
    }
    if (m_inBlock)
        next = std::min(next, m_blockLastByteAt + kBlockQuietMs);
    return next;
}

void Machine::advance(qint64 ms)
{
    if (ms <= 0)
        return;
    const qint64 end = m_now + ms;
    for (;;) {
        while (!m_follows.empty() && m_follows.front().at <= m_now) {
            const Follow f = m_follows.front();
            m_follows.pop_front();
            writeBit(f.bit, f.on);
        }
        if (m_inBlock && m_now - m_blockLastByteAt >= kBlockQuietMs)
            finishBlock(nullptr);
        runTasks();
        if (m_now >= end)
            break;
        if (busy()) {
            ++m_now;
            stepMotion(0.001);
        } else {
            m_now = std::min(end, std::max(nextEventAt(), m_now + 1));
        }
    }
}

// ---------------------------------------------------------------------------
// Statements

const std::vector<Machine::Command> &Machine::commandTable()
{
    static const std::vector<Command> table = {
        {protocol::kMachineModeWord, &Machine::cmdMachineMode, true},
        {"Q", &Machine::cmdQuit, false},
        {"PR", &Machine::cmdPrint, true},
        {"PRINT", &Machine::cmdPrint, true},
        {"P", &Machine::cmdPrint, false},
        {"PRA", &Machine::cmdArray, true},
        {"ON", &Machine::cmdOn, true},
        {"OFF", &Machine::cmdOff, true},
        {"CLR_OUTP", &Machine::cmdClrOutp, true},
        {"FILL", &Machine::cmdFill, true},
        {"MPG", &Machine::cmdMpg, true},
        {"ACCEL", &Machine::cmdAccel, true},
        {"RMVS", &Machine::cmdRmvs, true},
        {"STOP", &Machine::cmdStop, true},
        {"H_ON", &Machine::cmdHOn, true},
        {"H_OFF", &Machine::cmdHOff, true},
        {"SETP", &Machine::cmdSetp, true},
        {"CLRPOS", &Machine::cmdClrpos, true},
        {protocol::kClearProgram, &Machine::cmdNew, false},
        {"NEWP", &Machine::cmdNewp, false},
        {"NEWM", &Machine::cmdNewm, false},
        {"PLS", &Machine::cmdPls, false},
        {"S_MBK", &Machine::cmdSMbk, false},
        {protocol::kLoadModeWord, &Machine::cmdEcho, false},
        {"RENUM", &Machine::cmdRenum, false},
        {"LIST", &Machine::cmdList, false},
        {"MMC_LOAD", &Machine::cmdMmcLoad, false},
        {"RUN", &Machine::cmdRun, false},
        {"TASK", &Machine::cmdTask, true},
        {"BKP", &Machine::cmdBkp, false},
        {"N", &Machine::cmdContinue, false},
        {"T", &Machine::cmdTrace, false},
        {"MON", &Machine::cmdMon, false},
        {"SET_RTC", &Machine::cmdSetRtc, true},
    };
    return table;
}

QStringList Machine::splitStatements(const QString &line)
{
    QStringList parts;
    QString cur;
    bool quoted = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char(':')) {
            parts << cur.trimmed();
            cur.clear();
            continue;
        }
        cur += c;
    }
    parts << cur.trimmed();
    return parts;
}

QStringList Machine::splitArgs(const QString &args)
{
    return splitTopLevel(args, QStringLiteral(" \t,"), true);
}

bool Machine::validStatementText(const QString &text)
{
    if (text.isEmpty() || text.count(QLatin1Char('"')) % 2 != 0)
        return false;
    const QChar c = text.at(0);
    return c.isLetter() || c == QLatin1Char('*') || c == QLatin1Char('\'');
}

Err Machine::runLine(const QString &line)
{
    qint64 n = 0;
    if (parseInteger(firstWord(line), n))
        return storeProgramLine(line, false);
    for (const QString &stmt : splitStatements(line)) {
        const Err e = runStatement(stmt, false);
        if (e != Err::None)
            return e;
    }
    return Err::None;
}

Err Machine::storeProgramLine(const QString &line, bool loadMode)
{
    const QString first = firstWord(line);
    qint64 n = 0;
    QString text;
    if (parseInteger(first, n)) {
        if (n < 1 || n > kMaxLineNumber)
            return Err::Range;
        text = line.mid(first.size()).trimmed();
        if (text.isEmpty()) {
            m_program.remove(n);
            return Err::None;
        }
    } else if (loadMode) {
        n = m_program.isEmpty() ? 10 : m_program.lastKey() + 10;
        if (n > kMaxLineNumber)
            return Err::Range;
        text = line;
    } else {
        return Err::Syntax;
    }
    if (!validStatementText(text))
        return Err::Syntax;
    m_program.insert(n, text);
    return Err::None;
}

Err Machine::runStatement(const QString &stmtIn, bool inProgram, bool *known)
{
    if (known)
        *known = true;
    const QString stmt = stmtIn.trimmed();
    if (stmt.isEmpty())
        return Err::None;
    if (stmt.startsWith(QLatin1String("MBK("), Qt::CaseInsensitive))
        return assignMbk(stmt);
    int end = 0;
    if (!isIdentStart(stmt.at(0))) {
        if (known)
            *known = false;
        return Err::Syntax;
    }
    while (end < stmt.size() && isIdentChar(stmt.at(end)))
        ++end;
    if (end < stmt.size() && stmt.at(end) == QLatin1Char('$'))
        ++end;
    const QString ident = stmt.left(end).toUpper();
    const QString rest = stmt.mid(end).trimmed();
    if (rest.startsWith(QLatin1Char('=')))
        return assign(ident, rest.mid(1));
    for (const Command &cmd : commandTable()) {
        if (ident == QLatin1String(cmd.keyword)) {
            if (inProgram && !cmd.inProgram)
                return Err::None;
            return (this->*cmd.run)(rest);
        }
    }
    if (known)
        *known = false;
    return Err::Syntax;
}

Err Machine::evalValue(const QString &expr, Value &v)
{
    ExprParser p(*this, expr);
    return p.parse(v);
}

Err Machine::evalNumber(const QString &expr, qint64 &n)
{
    Value v;
    const Err e = evalValue(expr, v);
    if (e != Err::None)
        return e;
    if (v.isString || !v.multi.isEmpty())
        return Err::Type;
    n = v.num;
    return Err::None;
}

Machine::Value Machine::readVariable(const QString &name) const
{
    const auto it = m_vars.constFind(name);
    if (it != m_vars.constEnd())
        return *it;
    Value v;
    v.isString = name.endsWith(QLatin1Char('$'));
    return v;
}

Err Machine::assign(const QString &name, const QString &expr)
{
    Value v;
    const Err e = evalValue(expr, v);
    if (e != Err::None)
        return e;
    if (!v.multi.isEmpty() || v.isString != name.endsWith(QLatin1Char('$')))
        return Err::Type;
    m_vars.insert(name, v);
    return Err::None;
}

bool Machine::parseMbkRef(const QString &raw, qint64 &a, QString &cast, Err &err)
{
    QString addr = raw;
    cast.clear();
    const int tilde = raw.indexOf(QLatin1Char('~'));
    if (tilde >= 0) {
        cast = raw.mid(tilde + 1).trimmed().toUpper();
        addr = raw.left(tilde);
        if (cast != QLatin1String("INT") && cast != QLatin1String("WRD") && cast != QLatin1String("LNG")) {
            err = Err::Syntax;
            return false;
        }
    }
    err = evalNumber(addr, a);
    return err == Err::None;
}

Err Machine::assignMbk(const QString &stmt)
{
    const int end = matchParen(stmt, 3);
    if (end < 0)
        return Err::Syntax;
    const QString rest = stmt.mid(end).trimmed();
    if (!rest.startsWith(QLatin1Char('=')))
        return Err::Syntax;
    qint64 a = 0;
    QString cast;
    Err e = Err::None;
    if (!parseMbkRef(stmt.mid(4, end - 5), a, cast, e))
        return e;
    qint64 v = 0;
    if ((e = evalNumber(rest.mid(1), v)) != Err::None)
        return e;
    return writeMbk(a, cast, v);
}

int Machine::axisIndex(const QString &name)
{
    const QString n = name.trimmed().toUpper();
    if (n == QLatin1String("X_A"))
        return 0;
    if (n == QLatin1String("Y_A"))
        return 1;
    if (n == QLatin1String("U_A"))
        return 2;
    if (n == QLatin1String("Z_A"))
        return 3;
    if (n == QLatin1String("ALL_A"))
        return 4;
    return -1;
}

Err Machine::callFunction(const QString &name, const QString &raw, Value &v)
{
    v = Value();
    if (name == QLatin1String("IN")) {
        QString expr = raw;
        bool word = false;
        const int tilde = raw.indexOf(QLatin1Char('~'));
        if (tilde >= 0) {
            if (raw.mid(tilde + 1).trimmed().toUpper() != QLatin1String("WRD"))
                return Err::Syntax;
            word = true;
            expr = raw.left(tilde);
        }
        qint64 n = 0;
        const Err e = evalNumber(expr, n);
        return e != Err::None ? e : readInByte(n, word, v.num);
    }
    if (name == QLatin1String("MBK")) {
        qint64 a = 0;
        QString cast;
        Err e = Err::None;
        if (!parseMbkRef(raw, a, cast, e))
            return e;
        return readMbk(a, cast, v.num) ? Err::None : Err::Range;
    }
    if (name == QLatin1String("TASK")) {
        const QStringList parts = splitTopLevel(raw, QStringLiteral("|,"), false);
        qint64 n = 0;
        const Err e = evalNumber(parts.value(0), n);
        if (e != Err::None)
            return e;
        if (n < 0 || n >= kTasks)
            return Err::Range;
        v.num = static_cast<qint64>(m_tasks[static_cast<size_t>(n)].state);
        return Err::None;
    }
    if (name == QLatin1String("LMT") || name == QLatin1String("HPT") || name == QLatin1String("PGE")) {
        qint64 n = 0;
        const Err e = evalNumber(raw, n);
        if (e != Err::None)
            return e;
        v.num = name == QLatin1String("LMT") ? lmtWord() : name == QLatin1String("HPT") ? hptWord() : m_board;
        return Err::None;
    }
    if (name == QLatin1String("RR") || name == QLatin1String("RR1") || name == QLatin1String("RR3")) {
        const QStringList parts = splitTopLevel(raw, QStringLiteral(","), false);
        const QString target = parts.value(0).trimmed().toUpper();
        int axis = axisIndex(target);
        if (axis < 0) {
            if (target == QLatin1String("ALL_E"))
                return Err::None; // no error flags are ever raised here
            qint64 n = 0;
            const Err e = evalNumber(target, n);
            if (e != Err::None)
                return e;
            if (n != 0)
                return Err::Range;
            axis = 4;
        }
        const Board &b = board();
        if (name == QLatin1String("RR")) {
            if (axis == 4) {
                for (int i = 0; i < kAxes; ++i)
                    v.num |= rrByte(b.axes[static_cast<size_t>(i)]) << byteShift(i);
            } else {
                v.num = rrByte(b.axes[static_cast<size_t>(axis)]);
            }
        } else if (name == QLatin1String("RR1")) {
            double s = 0;
            for (int i = 0; i < kAxes; ++i) {
                if (axis == 4 || axis == i)
                    s = std::max(s, b.axes[static_cast<size_t>(i)].speed);
            }
            v.num = std::llround(s);
        } else {
            if (axis == 4)
                axis = 0;
            const AxisState &ax = b.axes[static_cast<size_t>(axis)];
            qint64 sel = 0;
            if (parts.size() > 1) {
                const Err e = evalNumber(parts.at(1), sel);
                if (e != Err::None)
                    return e;
            }
            v.num = sel == 1 ? ax.target : std::llabs(ax.target - ax.pos);
        }
        return Err::None;
    }
    if (name == QLatin1String("X") || name == QLatin1String("Y") || name == QLatin1String("U")
        || name == QLatin1String("Z") || name == QLatin1String("P")) {
        qint64 n = 0;
        const Err e = evalNumber(raw, n);
        if (e != Err::None)
            return e;
        if (n < -1 || n > kMaxPoint)
            return Err::Range;
        std::array<qint64, 4> values{};
        for (int i = 0; i < kAxes; ++i) {
            const AxisState &ax = board().axes[static_cast<size_t>(i)];
            values[static_cast<size_t>(i)] = n == -1 ? ax.counter : ax.pos;
        }
        if (n >= 1)
            values = point(n);
        if (name == QLatin1String("P")) {
            for (qint64 x : values)
                v.multi << x;
        } else {
            v.num = values[static_cast<size_t>(QStringLiteral("XYUZ").indexOf(name))];
        }
        return Err::None;
    }
    if (name == QLatin1String("DATE$") || name == QLatin1String("TIME$")) {
        v.isString = true;
        const QDateTime now = clock();
        v.str = name == QLatin1String("DATE$") ? now.date().toString(QStringLiteral("yyyy/MM/dd"))
                                               : now.time().toString(QStringLiteral("HH:mm:ss"));
        return Err::None;
    }
    return Err::Syntax;
}

// ---------------------------------------------------------------------------
// Bits

Machine::BitKind Machine::bitKind(qint64 n)
{
    if (n >= 0 && n < 1024) {
        const qint64 b = n / 8;
        if (b <= 23 || (b >= 48 && b <= 71) || b == 96)
            return BitKind::Output;
        if ((b >= 24 && b <= 47) || (b >= 72 && b <= 95) || b == 120)
            return BitKind::Input;
        return BitKind::OtherGeneral;
    }
    if (n < 0 && n >= kRelayLast)
        return BitKind::Relay;
    if (n >= kCuFirst && n <= kCuLast)
        return BitKind::Cu;
    if (n >= kMbkBitFirst && n <= kMbkBitLast)
        return BitKind::Mbk;
    return BitKind::None;
}

bool Machine::bit(qint64 n) const
{
    switch (bitKind(n)) {
    case BitKind::Output:
    case BitKind::Input:
    case BitKind::OtherGeneral:
        return (m_general[static_cast<size_t>(n / 8)] >> (n % 8)) & 1;
    case BitKind::Relay:
        return m_relays[static_cast<size_t>(-n - 1)];
    case BitKind::Cu:
        return m_cu[static_cast<size_t>(n - kCuFirst)];
    case BitKind::Mbk:
        return (m_mbk[static_cast<size_t>(n / 16)] >> (n % 16)) & 1;
    case BitKind::None:
        break;
    }
    return false;
}

void Machine::writeBit(qint64 n, bool on)
{
    const BitKind kind = bitKind(n);
    switch (kind) {
    case BitKind::Output:
    case BitKind::Input:
    case BitKind::OtherGeneral: {
        quint8 &byte = m_general[static_cast<size_t>(n / 8)];
        const quint8 mask = static_cast<quint8>(1u << (n % 8));
        const bool was = byte & mask;
        byte = on ? (byte | mask) : (byte & ~mask);
        // The wiring loops every output back to the input three banks up.
        if (kind == BitKind::Output && was != on)
            m_follows.push_back({m_now + kInputFollowMs, n + 192, on});
        break;
    }
    case BitKind::Relay:
        m_relays[static_cast<size_t>(-n - 1)] = on;
        break;
    case BitKind::Cu:
        m_cu[static_cast<size_t>(n - kCuFirst)] = on;
        break;
    case BitKind::Mbk: {
        quint16 &w = m_mbk[static_cast<size_t>(n / 16)];
        const quint16 mask = static_cast<quint16>(1u << (n % 16));
        w = on ? (w | mask) : (w & ~mask);
        break;
    }
    case BitKind::None:
        break;
    }
}

void Machine::setBit(qint64 n, bool on)
{
    writeBit(n, on);
}

Err Machine::forceBit(qint64 n, bool on)
{
    switch (bitKind(n)) {
    case BitKind::None:
    case BitKind::OtherGeneral:
        return Err::Range;
    case BitKind::Input:
        return Err::InputForce;
    default:
        writeBit(n, on);
        return Err::None;
    }
}

Err Machine::readInByte(qint64 n, bool word, qint64 &v) const
{
    v = 0;
    if (n >= kMbkBitFirst && n <= kMbkBitLast) {
        const int count = word ? 16 : 8;
        if (n + count - 1 > kMbkBitLast)
            return Err::Range;
        for (int k = 0; k < count; ++k)
            v |= static_cast<qint64>(bit(n + k)) << k;
        return Err::None;
    }
    if (word) {
        qint64 lo = 0;
        qint64 hi = 0;
        Err e = readInByte(n, false, lo);
        if (e == Err::None)
            e = readInByte(n + 1, false, hi);
        v = lo | (hi << 8);
        return e;
    }
    if (n >= 0 && n < 128) {
        v = m_general[static_cast<size_t>(n)];
        return Err::None;
    }
    if (n < 0 && n >= kRelayLast / 8) {
        for (int k = 0; k < 8; ++k)
            v |= static_cast<qint64>(bit(8 * n + 7 - k)) << k;
        return Err::None;
    }
    if (n >= kCuFirst && n <= kCuFirst + (kCuLast - kCuFirst) / 8) {
        for (int k = 0; k < 8; ++k)
            v |= static_cast<qint64>(bit(kCuFirst + 8 * (n - kCuFirst) + k)) << k;
        return Err::None;
    }
    return Err::Range;
}

// ---------------------------------------------------------------------------
// MBK words

quint16 Machine::mbkWord(qint64 a) const
{
    return a >= 0 && a < kMbkWords ? m_mbk[static_cast<size_t>(a)] : 0;
}

void Machine::setMbkWord(qint64 a, quint16 v)
{
    if (a >= 0 && a < kMbkWords)
        m_mbk[static_cast<size_t>(a)] = v;
}

bool Machine::readMbk(qint64 a, const QString &cast, qint64 &v) const
{
    const bool lng = cast == QLatin1String("LNG");
    if (a < 0 || a + (lng ? 1 : 0) >= kMbkWords)
        return false;
    const quint16 w = m_mbk[static_cast<size_t>(a)];
    if (lng) {
        const quint32 both = w | (static_cast<quint32>(m_mbk[static_cast<size_t>(a + 1)]) << 16);
        v = static_cast<qint32>(both);
    } else if (cast == QLatin1String("WRD")) {
        v = w;
    } else {
        v = static_cast<qint16>(w);
    }
    return true;
}

Err Machine::writeMbk(qint64 a, const QString &cast, qint64 v)
{
    const bool lng = cast == QLatin1String("LNG");
    if (a < 0 || a + (lng ? 1 : 0) >= kMbkWords)
        return Err::Range;
    if (lng) {
        if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<quint32>::max())
            return Err::Range;
        const quint32 both = static_cast<quint32>(v);
        m_mbk[static_cast<size_t>(a)] = static_cast<quint16>(both & 0xFFFF);
        m_mbk[static_cast<size_t>(a + 1)] = static_cast<quint16>(both >> 16);
    } else {
        if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<quint16>::max())
            return Err::Range;
        m_mbk[static_cast<size_t>(a)] = static_cast<quint16>(v & 0xFFFF);
    }
    return Err::None;
}

// ---------------------------------------------------------------------------
// Variables and points

QString Machine::variable(const QString &name) const
{
    return readVariable(name.trimmed().toUpper()).text();
}

void Machine::setVariable(const QString &name, const QString &text)
{
    const QString key = name.trimmed().toUpper();
    Value v;
    if (key.endsWith(QLatin1Char('$'))) {
        v.isString = true;
        v.str = text;
    } else {
        v.num = text.trimmed().toLongLong();
    }
    m_vars.insert(key, v);
}

void Machine::setVariable(const QString &name, qint64 value)
{
    Value v;
    v.num = value;
    m_vars.insert(name.trimmed().toUpper(), v);
}

std::array<qint64, 4> Machine::point(qint64 n) const
{
    return m_points.value(n, std::array<qint64, 4>{});
}

// ---------------------------------------------------------------------------
// Axes

int Machine::byteShift(int axis)
{
    static const int shifts[kAxes] = {0, 8, 24, 16}; // X, Y, U, Z -> bytes X Y Z U
    return shifts[axis];
}

qint64 Machine::position(int axis, int b) const
{
    if (axis < 0 || axis >= kAxes || b >= kBoards)
        return 0;
    return boardAt(b).axes[static_cast<size_t>(axis)].pos;
}

qint64 Machine::counter(int axis, int b) const
{
    if (axis < 0 || axis >= kAxes || b >= kBoards)
        return 0;
    return boardAt(b).axes[static_cast<size_t>(axis)].counter;
}

bool Machine::moving(int axis, int b) const
{
    if (axis < 0 || axis >= kAxes || b >= kBoards)
        return false;
    return boardAt(b).axes[static_cast<size_t>(axis)].moving;
}

qint64 Machine::acceleration(int axis, int b) const
{
    if (axis < 0 || axis >= kAxes || b >= kBoards)
        return 0;
    return boardAt(b).axes[static_cast<size_t>(axis)].accel;
}

bool Machine::generalOutput(int k, int b) const
{
    if (k < 0 || k >= 4 || b >= kBoards)
        return false;
    return boardAt(b).hout[static_cast<size_t>(k)];
}

void Machine::moveAxis(AxisState &ax, qint64 delta)
{
    if (delta == 0)
        return;
    const qint64 from = ax.moving ? ax.target : ax.pos;
    const qint64 target = wrapAdd(from, delta);
    const bool wasUp = ax.target > ax.exact;
    const bool goesUp = static_cast<double>(target) > ax.exact;
    if (ax.moving && wasUp != goesUp)
        ax.speed = 0; // a reversal starts again from standstill
    ax.target = target;
    ax.moving = true;
}

void Machine::stopAxis(AxisState &ax)
{
    ax.exact = static_cast<double>(ax.pos);
    ax.target = ax.pos;
    ax.speed = 0;
    ax.moving = false;
}

void Machine::setPositionOf(AxisState &ax, qint64 p)
{
    ax.pos = p;
    stopAxis(ax);
}

void Machine::stepMotion(double dt)
{
    for (Board &b : m_boards) {
        for (AxisState &ax : b.axes) {
            if (!ax.moving)
                continue;
            const double remaining = static_cast<double>(ax.target) - ax.exact;
            const double dir = remaining < 0 ? -1.0 : 1.0;
            const double a = static_cast<double>(ax.accel) * kAccelScale;
            if (std::fabs(remaining) >= 0.5) {
                const double stopDist = ax.speed * ax.speed / (2 * a);
                if (stopDist >= std::fabs(remaining))
                    ax.speed = std::max(ax.speed - a * dt, kMinSpeed);
                else
                    ax.speed = std::min(ax.speed + a * dt, kMaxSpeed);
                const double step = ax.speed * dt;
                ax.exact = step >= std::fabs(remaining) ? static_cast<double>(ax.target)
                                                        : ax.exact + dir * step;
            } else {
                ax.exact = static_cast<double>(ax.target);
            }
            bool arrived = ax.exact == static_cast<double>(ax.target);
            const double lim = static_cast<double>(kLimit);
            if (ax.exact >= lim && dir > 0) {
                ax.exact = lim;
                arrived = true;
            } else if (ax.exact <= -lim && dir < 0) {
                ax.exact = -lim;
                arrived = true;
            }
            const qint64 pos = std::llround(ax.exact);
            ax.counter = wrapAdd(ax.counter, pos - ax.pos);
            ax.pos = pos;
            if (arrived)
                stopAxis(ax);
        }
    }
}

void Machine::pinSignalWords(std::optional<qint64> lmt, std::optional<qint64> hpt)
{
    m_lmtPin = lmt;
    m_hptPin = hpt;
}

qint64 Machine::lmtWord() const
{
    if (m_lmtPin)
        return *m_lmtPin;
    qint64 w = 0;
    for (int i = 0; i < kAxes; ++i) {
        const AxisState &ax = board().axes[static_cast<size_t>(i)];
        qint64 byte = 0;
        if (ax.pos >= kLimit)
            byte |= 1 << 2;
        if (ax.pos <= -kLimit)
            byte |= 1 << 3;
        w |= byte << byteShift(i);
    }
    return w;
}

qint64 Machine::hptWord() const
{
    if (m_hptPin)
        return *m_hptPin;
    qint64 w = 0;
    for (int i = 0; i < kAxes; ++i) {
        const AxisState &ax = board().axes[static_cast<size_t>(i)];
        qint64 byte = 0;
        if (board().hout[static_cast<size_t>(i)])
            byte |= 1 << 0;
        if (ax.pos == 0)
            byte |= 1 << 1;
        if (ax.moving)
            byte |= 1 << 3;
        else
            byte |= 1 << 6;
        w |= byte << byteShift(i);
    }
    return w;
}

qint64 Machine::rrByte(const AxisState &ax) const
{
    qint64 byte = 0;
    if (ax.moving)
        byte |= 1;
    if (ax.moving && static_cast<double>(ax.target) < ax.exact)
        byte |= 2;
    if (ax.pos >= kLimit)
        byte |= 4;
    if (ax.pos <= -kLimit)
        byte |= 8;
    return byte;
}

// ---------------------------------------------------------------------------
// Program and tasks

bool Machine::atBreakpoint() const
{
    return std::any_of(m_tasks.begin(), m_tasks.end(),
                       [](const Task &t) { return t.state == TaskState::Break; });
}

Machine::TaskState Machine::taskState(int n) const
{
    return n >= 0 && n < kTasks ? m_tasks[static_cast<size_t>(n)].state : TaskState::Stopped;
}

qint64 Machine::taskLine(int n) const
{
    return n >= 0 && n < kTasks ? m_tasks[static_cast<size_t>(n)].line : 0;
}

qint64 Machine::findLabel(const QString &label) const
{
    const QString want = label.trimmed().toUpper();
    for (auto it = m_program.constBegin(); it != m_program.constEnd(); ++it) {
        const QString text = it.value().trimmed();
        if (!text.startsWith(QLatin1Char('*')))
            continue;
        int end = 1;
        while (end < text.size() && !text.at(end).isSpace() && text.at(end) != QLatin1Char(':'))
            ++end;
        if (text.left(end).toUpper() == want)
            return it.key();
    }
    return -1;
}

Err Machine::resolveTarget(const QString &targetIn, qint64 &line) const
{
    const QString target = targetIn.trimmed();
    if (target.startsWith(QLatin1Char('*'))) {
        line = findLabel(target);
        return line < 0 ? Err::NoLine : Err::None;
    }
    if (!parseInteger(target, line))
        return Err::Syntax;
    return m_program.contains(line) ? Err::None : Err::NoLine;
}

bool Machine::hasBreakpoint(qint64 line) const
{
    for (const QString &bp : m_breakpoints) {
        if (bp.startsWith(QLatin1Char('*'))) {
            if (findLabel(bp) == line)
                return true;
        } else if (bp.toLongLong() == line) {
            return true;
        }
    }
    return false;
}

QByteArray Machine::breakText(qint64 line) const
{
    const QString n = QString::number(line);
    return "\r\n\x1b[7m BREAK " + n.toLatin1() + " \x1b[0m\r\n" + encode(n + QLatin1Char('\t') + m_program.value(line));
}

void Machine::writeTaskWord(int n, qint64 line)
{
    const qint64 a = n <= 31 ? 7836 + 2 * n : 7772 + 2 * (n - 32);
    writeMbk(a, QStringLiteral("LNG"), line);
}

void Machine::startTask(int n, qint64 line)
{
    Task &t = m_tasks[static_cast<size_t>(n)];
    t.state = TaskState::Running;
    t.line = line;
    t.nextAt = m_now + kStepMs;
    t.skipBreak = false;
    t.everRun = true;
}

void Machine::stopAllTasks()
{
    for (Task &t : m_tasks)
        t.state = TaskState::Stopped;
}

Machine::FlowResult Machine::executeLine(int task, const QString &text)
{
    FlowResult r;
    const int savedTask = m_runningTask;
    m_runningTask = task;
    for (const QString &stmt : splitStatements(text)) {
        if (stmt.isEmpty() || stmt.startsWith(QLatin1Char('*')))
            continue;
        if (stmt.startsWith(QLatin1Char('\'')))
            break;
        const QString word = firstWord(stmt).toUpper();
        const QString args = stmt.mid(firstWord(stmt).size()).trimmed();
        if (word == QLatin1String("REM"))
            break;
        if (word == QLatin1String("GOTO")) {
            r.err = resolveTarget(args, r.value);
            r.flow = r.err == Err::None ? Flow::Jump : Flow::Error;
            break;
        }
        if (word == QLatin1String("END")) {
            r.flow = Flow::End;
            break;
        }
        if (word == QLatin1String("WAIT")) {
            r.err = evalNumber(args, r.value);
            if (r.err != Err::None) {
                r.flow = Flow::Error;
                break;
            }
            r.flow = Flow::Wait;
            r.value = std::max<qint64>(0, r.value);
            continue;
        }
        bool known = true;
        const Err e = runStatement(stmt, true, &known);
        if (e != Err::None && known) {
            r.flow = Flow::Error;
            r.err = e;
            break;
        }
    }
    m_runningTask = savedTask;
    return r;
}

void Machine::runTasks()
{
    for (int n = 0; n < kTasks; ++n) {
        Task &t = m_tasks[static_cast<size_t>(n)];
        if (t.state != TaskState::Running || t.nextAt > m_now)
            continue;
        auto it = m_program.constFind(t.line);
        if (it == m_program.constEnd())
            it = m_program.lowerBound(t.line);
        if (it == m_program.constEnd()) {
            t.state = TaskState::Stopped;
            continue;
        }
        t.line = it.key();
        writeTaskWord(n, t.line);
        if (!t.skipBreak && hasBreakpoint(t.line)) {
            t.state = TaskState::Break;
            if (m_async.size() <= kAsyncCap)
                m_async += breakText(t.line) + protocol::kBreakPromptLine;
            continue;
        }
        t.skipBreak = false;
        const QString text = it.value();
        const auto next = std::next(it);
        const qint64 nextLine = next != m_program.constEnd() ? next.key() : t.line + 1;
        QByteArray *const saved = m_sink;
        m_sink = &m_async;
        const FlowResult r = executeLine(n, text);
        m_sink = saved;
        t.nextAt = m_now + kStepMs;
        switch (r.flow) {
        case Flow::Next:
            t.line = nextLine;
            break;
        case Flow::Jump:
            t.line = r.value;
            break;
        case Flow::Wait:
            t.line = nextLine;
            t.nextAt += r.value;
            break;
        case Flow::End:
            t.state = TaskState::Stopped;
            break;
        case Flow::Error:
            t.state = TaskState::Stopped;
            m_sink = &m_async;
            out(QLatin1Char('\t') + errorText(r.err) + QStringLiteral(" @ ") + QString::number(t.line));
            m_sink = saved;
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// Clock

QDateTime Machine::clock() const
{
    const QDateTime naive = m_clockBase.addMSecs(m_now - m_clockSetAt);
    return QDateTime(naive.date(), naive.time());
}

void Machine::setClock(const QDateTime &localTime)
{
    m_clockBase = QDateTime(localTime.date(), localTime.time(), QTimeZone::utc());
    m_clockSetAt = m_now;
}

// ---------------------------------------------------------------------------
// Commands

Err Machine::cmdMachineMode(const QString &args)
{
    qint64 n = 1;
    if (!args.isEmpty()) {
        const Err e = evalNumber(args, n);
        if (e != Err::None)
            return e;
    }
    m_machineMode = n != 0;
    return Err::None;
}

Err Machine::cmdQuit(const QString &)
{
    m_listNext = -1;
    return Err::None;
}

Err Machine::cmdPrint(const QString &args)
{
    QStringList items;
    for (const QString &word : splitArgs(args)) {
        Value v;
        const Err e = evalValue(word, v);
        if (e != Err::None)
            return e;
        items << v.text();
    }
    outPr(items);
    return Err::None;
}

Err Machine::cmdArray(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() < 2 || w.size() > 3 || !isIdentStart(w.at(0).at(0)))
        return Err::Syntax;
    for (const QChar c : w.at(0)) {
        if (!isIdentChar(c))
            return Err::Syntax;
    }
    qint64 i = 0;
    Err e = evalNumber(w.at(1), i);
    if (e != Err::None)
        return e;
    QMap<qint64, Value> &arr = m_arrays[w.at(0).toUpper()];
    if (w.size() == 3) {
        Value v;
        if ((e = evalValue(w.at(2), v)) != Err::None)
            return e;
        if (!v.multi.isEmpty())
            return Err::Type;
        arr.insert(i, v);
        return Err::None;
    }
    outPr({arr.value(i).text()});
    return Err::None;
}

Err Machine::cmdOn(const QString &args)
{
    qint64 n = 0;
    const Err e = evalNumber(args, n);
    return e != Err::None ? e : forceBit(n, true);
}

Err Machine::cmdOff(const QString &args)
{
    qint64 n = 0;
    const Err e = evalNumber(args, n);
    return e != Err::None ? e : forceBit(n, false);
}

Err Machine::cmdClrOutp(const QString &args)
{
    qint64 k = 0;
    const Err e = evalNumber(args, k);
    if (e != Err::None)
        return e;
    if (k < 1 || k > 15)
        return Err::Range;
    if (k & 1) {
        for (qint64 n = 0; n < 1024; ++n) {
            if (bitKind(n) == BitKind::Output && bit(n))
                writeBit(n, false);
        }
    }
    if (k & 2)
        std::fill(m_cu.begin(), m_cu.end(), false);
    if (k & 4) {
        for (qint64 a = kMbkBitFirst / 16; a <= kMbkBitLast / 16; ++a)
            m_mbk[static_cast<size_t>(a)] = 0;
    }
    if (k & 8)
        std::fill(m_relays.begin(), m_relays.end(), false);
    return Err::None;
}

Err Machine::cmdFill(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 3 || !w.at(0).startsWith(QLatin1String("MBK("), Qt::CaseInsensitive)
        || !w.at(0).endsWith(QLatin1Char(')')))
        return Err::Syntax;
    qint64 a = 0;
    QString cast;
    Err e = Err::None;
    if (!parseMbkRef(w.at(0).mid(4, w.at(0).size() - 5), a, cast, e))
        return e;
    qint64 n = 0;
    qint64 v = 0;
    if ((e = evalNumber(w.at(1), n)) != Err::None || (e = evalNumber(w.at(2), v)) != Err::None)
        return e;
    if (a < 0 || n < 0 || n > kMbkWords - a)
        return Err::Range;
    if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<quint16>::max())
        return Err::Range;
    std::fill_n(m_mbk.begin() + a, n, static_cast<quint16>(v & 0xFFFF));
    return Err::None;
}

Err Machine::cmdMpg(const QString &args)
{
    qint64 b = 0;
    const Err e = evalNumber(args, b);
    if (e != Err::None)
        return e;
    if (b < 0 || b >= kBoards)
        return Err::NoBoard;
    m_board = static_cast<int>(b);
    return Err::None;
}

Err Machine::cmdAccel(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 2)
        return Err::Syntax;
    const int axis = axisIndex(w.at(0));
    if (axis < 0)
        return Err::Syntax;
    qint64 v = 0;
    const Err e = evalNumber(w.at(1), v);
    if (e != Err::None)
        return e;
    if (v < 1 || v > 1000000)
        return Err::Range;
    for (int i = 0; i < kAxes; ++i) {
        if (axis == 4 || axis == i)
            board().axes[static_cast<size_t>(i)].accel = v;
    }
    return Err::None;
}

Err Machine::cmdRmvs(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 2)
        return Err::Syntax;
    const int axis = axisIndex(w.at(0));
    if (axis < 0)
        return Err::Syntax;
    qint64 d = 0;
    const Err e = evalNumber(w.at(1), d);
    if (e != Err::None)
        return e;
    if (d < -4 * kLimit || d > 4 * kLimit)
        return Err::Range;
    for (int i = 0; i < kAxes; ++i) {
        if (axis == 4 || axis == i)
            moveAxis(board().axes[static_cast<size_t>(i)], d);
    }
    return Err::None;
}

Err Machine::cmdStop(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.isEmpty() || w.size() > 2)
        return Err::Syntax;
    const int axis = axisIndex(w.at(0));
    if (axis < 0)
        return Err::Syntax;
    for (int i = 0; i < kAxes; ++i) {
        if (axis == 4 || axis == i)
            stopAxis(board().axes[static_cast<size_t>(i)]);
    }
    return Err::None;
}

Err Machine::hout(const QString &args, bool on)
{
    qint64 k = 0;
    const Err e = evalNumber(args, k);
    if (e != Err::None)
        return e;
    if (k < 0 || k > 3)
        return Err::Range;
    board().hout[static_cast<size_t>(k)] = on;
    return Err::None;
}

Err Machine::cmdHOn(const QString &args)
{
    return hout(args, true);
}

Err Machine::cmdHOff(const QString &args)
{
    return hout(args, false);
}

Err Machine::cmdSetp(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 2 && w.size() != 5)
        return Err::Syntax;
    qint64 n = 0;
    Err e = evalNumber(w.at(0), n);
    if (e != Err::None)
        return e;
    std::array<qint64, 4> c{};
    if (w.size() == 2) {
        Value v;
        if ((e = evalValue(w.at(1), v)) != Err::None)
            return e;
        if (v.multi.size() != 4)
            return Err::Syntax;
        for (int i = 0; i < 4; ++i)
            c[static_cast<size_t>(i)] = v.multi.at(i);
    } else {
        for (int i = 0; i < 4; ++i) {
            if ((e = evalNumber(w.at(i + 1), c[static_cast<size_t>(i)])) != Err::None)
                return e;
        }
    }
    if (n == 0) {
        for (int i = 0; i < kAxes; ++i)
            setPositionOf(board().axes[static_cast<size_t>(i)], c[static_cast<size_t>(i)]);
    } else if (n == -1) {
        for (int i = 0; i < kAxes; ++i)
            board().axes[static_cast<size_t>(i)].counter = c[static_cast<size_t>(i)];
    } else if (n >= 1 && n <= kMaxPoint) {
        if (c == std::array<qint64, 4>{})
            m_points.remove(n);
        else
            m_points.insert(n, c);
    } else {
        return Err::Range;
    }
    return Err::None;
}

Err Machine::cmdClrpos(const QString &args)
{
    const QString a = args.trimmed();
    const int axis = axisIndex(a);
    if (axis >= 0) {
        for (int i = 0; i < kAxes; ++i) {
            if (axis == 4 || axis == i)
                setPositionOf(board().axes[static_cast<size_t>(i)], 0);
        }
        return Err::None;
    }
    qint64 n = 0;
    const Err e = evalNumber(a, n);
    if (e != Err::None)
        return e;
    if (n != -1)
        return Err::Range;
    for (AxisState &ax : board().axes)
        ax.counter = 0;
    return Err::None;
}

Err Machine::cmdNew(const QString &)
{
    stopAllTasks();
    m_program.clear();
    m_breakpoints.clear();
    m_listNext = -1;
    return Err::None;
}

Err Machine::cmdNewp(const QString &)
{
    m_points.clear();
    return Err::None;
}

Err Machine::cmdNewm(const QString &)
{
    std::fill(m_mbk.begin(), m_mbk.end(), quint16(0));
    return Err::None;
}

Err Machine::cmdPls(const QString &args)
{
    qint64 n = 0;
    const Err e = evalNumber(args, n);
    if (e != Err::None)
        return e;
    const auto line = [this](qint64 p, const std::array<qint64, 4> &c) {
        out(QStringLiteral("SETP %1 %2 %3 %4 %5").arg(p).arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]));
    };
    if (n == -1) {
        for (auto it = m_points.constBegin(); it != m_points.constEnd(); ++it)
            line(it.key(), it.value());
        return Err::None;
    }
    if (n < 1 || n > kMaxPoint)
        return Err::Range;
    line(n, point(n));
    return Err::None;
}

Err Machine::cmdSMbk(const QString &args)
{
    qint64 a = 0;
    const Err e = evalNumber(args, a);
    if (e != Err::None)
        return e;
    const auto line = [this](qint64 addr) {
        out(QStringLiteral("MBK(%1~Wrd)=%2").arg(addr).arg(m_mbk[static_cast<size_t>(addr)]));
    };
    if (a == -1) {
        for (qint64 i = 0; i < kMbkWords; ++i) {
            if (m_mbk[static_cast<size_t>(i)] != 0)
                line(i);
        }
        return Err::None;
    }
    if (a < 0 || a >= kMbkWords)
        return Err::Range;
    line(a);
    return Err::None;
}

Err Machine::cmdEcho(const QString &args)
{
    qint64 n = 0;
    if (!args.isEmpty()) {
        const Err e = evalNumber(args, n);
        if (e != Err::None)
            return e;
    }
    m_loadMode = n == 2;
    return Err::None;
}

Err Machine::cmdRenum(const QString &)
{
    QMap<qint64, qint64> map;
    qint64 next = 10;
    for (auto it = m_program.constBegin(); it != m_program.constEnd(); ++it, next += 10)
        map.insert(it.key(), next);
    static const QRegularExpression gotoRef(QStringLiteral("\\b(GOTO\\s+)(\\d+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    QMap<qint64, QString> renumbered;
    for (auto it = m_program.constBegin(); it != m_program.constEnd(); ++it) {
        QString text = it.value();
        QString result;
        qsizetype last = 0;
        auto matches = gotoRef.globalMatch(text);
        while (matches.hasNext()) {
            const auto m = matches.next();
            const qint64 old = m.captured(2).toLongLong();
            result += text.mid(last, m.capturedStart(0) - last) + m.captured(1);
            result += map.contains(old) ? QString::number(map.value(old)) : m.captured(2);
            last = m.capturedEnd(0);
        }
        result += text.mid(last);
        renumbered.insert(map.value(it.key()), result);
    }
    for (QString &bp : m_breakpoints) {
        if (!bp.startsWith(QLatin1Char('*')) && map.contains(bp.toLongLong()))
            bp = QString::number(map.value(bp.toLongLong()));
    }
    for (Task &t : m_tasks) {
        const auto it = map.lowerBound(t.line);
        t.line = it != map.constEnd() ? it.value() : next;
    }
    m_program = renumbered;
    m_listNext = -1;
    return Err::None;
}

Err Machine::cmdList(const QString &args)
{
    const QStringList w = splitArgs(args);
    qint64 start = 0;
    qint64 count = m_listCount;
    if (w.isEmpty()) {
        if (m_listNext == kListDone)
            return Err::None;
        start = m_listNext < 0 ? 0 : m_listNext;
    } else {
        if (w.size() > 2)
            return Err::Syntax;
        if (w.at(0).startsWith(QLatin1Char('*'))) {
            start = findLabel(w.at(0));
            if (start < 0)
                return Err::NoLine;
        } else {
            const Err e = evalNumber(w.at(0), start);
            if (e != Err::None)
                return e;
        }
        count = 20;
        if (w.size() == 2) {
            const Err e = evalNumber(w.at(1), count);
            if (e != Err::None)
                return e;
            if (count < 0)
                return Err::Range;
        }
    }
    auto it = m_program.lowerBound(start);
    for (qint64 printed = 0; it != m_program.constEnd() && (count == 0 || printed < count); ++it, ++printed)
        out(QString::number(it.key()) + QLatin1Char('\t') + it.value());
    m_listNext = it == m_program.constEnd() ? kListDone : it.key();
    m_listCount = count;
    return Err::None;
}

Err Machine::cmdMmcLoad(const QString &)
{
    bool ok = false;
    const QString text = link::sjisDecode(m_blockBuffer, &ok);
    m_blockBuffer.clear();
    if (!ok)
        return Err::BadChar;
    cmdNew(QString());
    const QStringList lines = text.split(QLatin1Char('\n'));
    int loaded = 0;
    QStringList errors;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = stripComment(lines.at(i)).trimmed();
        if (line.isEmpty())
            continue;
        const Err e = storeProgramLine(line, true);
        if (e == Err::None)
            ++loaded;
        else
            errors << QStringLiteral("\t%1: %2: %3").arg(i + 1).arg(errorText(e), line);
    }
    if (errors.isEmpty()) {
        out(QStringLiteral("Loaded %1 lines").arg(loaded));
    } else {
        for (const QString &e : errors)
            out(e);
    }
    return Err::None;
}

Err Machine::cmdRun(const QString &args)
{
    qint64 line = 0;
    if (!args.isEmpty()) {
        const Err e = resolveTarget(args, line);
        if (e != Err::None)
            return e;
    } else if (m_program.isEmpty()) {
        return Err::None;
    } else {
        line = m_program.firstKey();
    }
    startTask(0, line);
    return Err::None;
}

Err Machine::cmdTask(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 2)
        return Err::Syntax;
    qint64 n = 0;
    Err e = evalNumber(w.at(0), n);
    if (e != Err::None)
        return e;
    if (n < 0 || n >= kTasks)
        return Err::Range;
    qint64 line = 0;
    if ((e = resolveTarget(w.at(1), line)) != Err::None)
        return e;
    startTask(static_cast<int>(n), line);
    return Err::None;
}

Err Machine::cmdBkp(const QString &args)
{
    const QString target = args.trimmed();
    if (target.isEmpty()) {
        for (const QString &bp : m_breakpoints)
            out(QStringLiteral("BKP ") + bp);
        return Err::None;
    }
    if (target == QLatin1String("0")) {
        m_breakpoints.clear();
        return Err::None;
    }
    QString key;
    qint64 n = 0;
    if (target.startsWith(QLatin1Char('*'))) {
        if (target.size() < 2 || target.contains(QLatin1Char(' ')))
            return Err::Syntax;
        key = target.toUpper();
    } else if (parseInteger(target, n) && n > 0) {
        key = QString::number(n);
    } else {
        return Err::Syntax;
    }
    if (m_breakpoints.removeAll(key) > 0) {
        out(QStringLiteral("BKP %1 deleted").arg(key));
    } else {
        m_breakpoints << key;
        out(QStringLiteral("BKP %1 added").arg(key));
    }
    return Err::None;
}

Err Machine::cmdContinue(const QString &args)
{
    if (!args.isEmpty())
        return Err::Syntax;
    if (!atBreakpoint())
        return Err::NotAtBreak;
    for (Task &t : m_tasks) {
        if (t.state != TaskState::Break)
            continue;
        t.state = TaskState::Running;
        t.skipBreak = true;
        t.nextAt = m_now + kStepMs;
    }
    return Err::None;
}

Err Machine::cmdTrace(const QString &args)
{
    if (!args.isEmpty())
        return Err::Syntax;
    const auto found = std::find_if(m_tasks.begin(), m_tasks.end(),
                                    [](const Task &t) { return t.state == TaskState::Break; });
    if (found == m_tasks.end())
        return Err::NotAtBreak;
    const int n = static_cast<int>(found - m_tasks.begin());
    Task &t = *found;
    auto it = m_program.lowerBound(t.line);
    if (it == m_program.constEnd()) {
        t.state = TaskState::Stopped;
        return Err::None;
    }
    writeTaskWord(n, it.key());
    const auto next = std::next(it);
    const qint64 nextLine = next != m_program.constEnd() ? next.key() : it.key() + 1;
    const FlowResult r = executeLine(n, it.value()); // output goes into the reply
    switch (r.flow) {
    case Flow::Next:
    case Flow::Wait: // a single step does not wait
        t.line = nextLine;
        break;
    case Flow::Jump:
        t.line = r.value;
        break;
    case Flow::End:
        t.state = TaskState::Stopped;
        return Err::None;
    case Flow::Error:
        t.state = TaskState::Stopped;
        return r.err;
    }
    const auto at = m_program.lowerBound(t.line);
    if (at == m_program.constEnd()) {
        t.state = TaskState::Stopped;
        return Err::None;
    }
    t.line = at.key();
    writeTaskWord(n, t.line);
    if (m_sink)
        *m_sink += breakText(t.line);
    return Err::None;
}

Err Machine::cmdMon(const QString &)
{
    static const char *const names[] = {"STOP", "RUN", "", "BREAK"};
    for (int n = 0; n < kTasks; ++n) {
        const Task &t = m_tasks[static_cast<size_t>(n)];
        if (n != 0 && !t.everRun)
            continue;
        out(QStringLiteral("TASK %1 %2 [%3]")
                .arg(n)
                .arg(QLatin1String(names[static_cast<int>(t.state)]))
                .arg(t.line));
    }
    return Err::None;
}

Err Machine::cmdSetRtc(const QString &args)
{
    qint64 v = 0;
    const Err e = evalNumber(args, v);
    if (e != Err::None)
        return e;
    if (v < 0 || v > 0xFFFFFFFFLL)
        return Err::BadClock;
    bool ok = true;
    const QDateTime now = clock();
    if (v > 0xFFFFFF) {
        const int year = bcd(v >> 24, ok) * 100 + bcd((v >> 16) & 0xFF, ok);
        const QDate date(year, bcd((v >> 8) & 0xFF, ok), bcd(v & 0xFF, ok));
        if (!ok || !date.isValid())
            return Err::BadClock;
        setClock(QDateTime(date, now.time()));
    } else {
        const int h = bcd((v >> 16) & 0xFF, ok);
        const int m = bcd((v >> 8) & 0xFF, ok);
        const int s = bcd(v & 0xFF, ok);
        if (!ok || h > 23 || m > 59 || s > 59)
            return Err::BadClock;
        setClock(QDateTime(now.date(), QTime(h, m, s)));
    }
    return Err::None;
}

} // namespace sim
