// Evaluating the dialect's expressions: a recursive-descent parser over the
// text, calling back for variables and functions.
#include "sim/interpreter.h"

#include "sim/axes.h"
#include "sim/memory.h"
#include "sim/programstore.h"
#include "sim/rtc.h"
#include "sim/syntax.h"

namespace sim {

using namespace syntax;

namespace {

// Items of PR are separated by blanks, so an item has no blanks: the parser
// sees one item at a time.
class ExprParser
{
public:
    ExprParser(Interpreter &in, const QString &s) : m_in(in), m_s(s) {}

    Err parse(Value &v)
    {
        Err e = parseOr(v);
        if (e != Err::None)
            return e;
        skipWs();
        return m_pos == m_s.size() ? Err::None : Err::Syntax;
    }

private:
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

    static bool numeric(const Value &v) { return v.isNumber(); }

    bool atDigit() const
    {
        return m_pos < m_s.size() && m_s.at(m_pos).isDigit() && m_s.at(m_pos).unicode() < 128;
    }

    Err parseDecimal(Value &v, bool negative)
    {
        const int start = m_pos;
        while (atDigit())
            ++m_pos;
        const QString digits = m_s.mid(start, m_pos - start);
        bool ok = false;
        v = Value();
        v.num = (negative ? QLatin1Char('-') + digits : digits).toLongLong(&ok);
        return ok ? Err::None : Err::Range;
    }

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
            if (v.isString && r.isString && !minus) {
                if (v.str.size() + r.str.size() > Interpreter::kMaxString)
                    return Err::Memory;
                v.str += r.str;
            } else if (numeric(v) && numeric(r))
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
        struct Nested
        {
            Interpreter &in;
            ~Nested() { in.leaveNested(); }
        } nested{m_in};
        if (!m_in.enterNested())
            return Err::Memory;
        if (matchOp("-")) {
            // Read a negative literal whole: the most negative integer has no
            // positive counterpart to negate.
            if (atDigit())
                return parseDecimal(v, true);
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
        if (atDigit())
            return parseDecimal(v, false);
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
                return m_in.callFunction(name, raw, v);
            }
            v = m_in.variable(name);
            return Err::None;
        }
        return Err::Syntax;
    }

    Interpreter &m_in;
    const QString &m_s;
    int m_pos = 0;
};

} // namespace

Interpreter::Interpreter(Memory &memory, const Axes &axes, const ProgramStore &program, const Rtc &rtc)
    : m_memory(memory), m_axes(axes), m_program(program), m_rtc(rtc)
{
}

Err Interpreter::evalValue(const QString &expr, Value &v)
{
    ExprParser p(*this, expr);
    return p.parse(v);
}

Err Interpreter::evalNumber(const QString &expr, qint64 &n)
{
    Value v;
    const Err e = evalValue(expr, v);
    if (e != Err::None)
        return e;
    if (!v.isNumber())
        return Err::Type;
    n = v.num;
    return Err::None;
}

Value Interpreter::variable(const QString &name) const
{
    return m_memory.variable(name);
}

Err Interpreter::assign(const QString &name, const QString &expr)
{
    Value v;
    const Err e = evalValue(expr, v);
    if (e != Err::None)
        return e;
    if (!v.multi.isEmpty() || v.isString != name.endsWith(QLatin1Char('$')))
        return Err::Type;
    return m_memory.setVariable(name, v);
}

Err Interpreter::parseMbkRef(const QString &raw, qint64 &a, QString &cast)
{
    QString addr = raw;
    cast.clear();
    const int tilde = raw.indexOf(QLatin1Char('~'));
    if (tilde >= 0) {
        cast = raw.mid(tilde + 1).trimmed().toUpper();
        addr = raw.left(tilde);
        if (cast != QLatin1String("INT") && cast != QLatin1String("WRD") && cast != QLatin1String("LNG"))
            return Err::Syntax;
    }
    return evalNumber(addr, a);
}

Err Interpreter::assignMbk(const QString &stmt)
{
    const int end = matchParen(stmt, 3);
    if (end < 0)
        return Err::Syntax;
    const QString rest = stmt.mid(end).trimmed();
    if (!rest.startsWith(QLatin1Char('=')))
        return Err::Syntax;
    qint64 a = 0;
    QString cast;
    Err e = parseMbkRef(stmt.mid(4, end - 5), a, cast);
    if (e != Err::None)
        return e;
    qint64 v = 0;
    if ((e = evalNumber(rest.mid(1), v)) != Err::None)
        return e;
    return m_memory.writeMbk(a, cast, v);
}

Err Interpreter::callFunction(const QString &name, const QString &raw, Value &v)
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
        return e != Err::None ? e : m_memory.readInByte(n, word, v.num);
    }
    if (name == QLatin1String("MBK")) {
        qint64 a = 0;
        QString cast;
        const Err e = parseMbkRef(raw, a, cast);
        if (e != Err::None)
            return e;
        return m_memory.readMbk(a, cast, v.num) ? Err::None : Err::Range;
    }
    if (name == QLatin1String("TASK")) {
        const QStringList parts = splitTopLevel(raw, QStringLiteral("|,"), false);
        qint64 n = 0;
        const Err e = evalNumber(parts.value(0), n);
        if (e != Err::None)
            return e;
        if (n < 0 || n >= ProgramStore::kTasks)
            return Err::Range;
        v.num = static_cast<qint64>(m_program.taskState(static_cast<int>(n)));
        return Err::None;
    }
    if (name == QLatin1String("LMT") || name == QLatin1String("HPT") || name == QLatin1String("PGE")) {
        qint64 n = 0;
        const Err e = evalNumber(raw, n);
        if (e != Err::None)
            return e;
        v.num = name == QLatin1String("LMT")   ? m_axes.lmtWord()
                : name == QLatin1String("HPT") ? m_axes.hptWord()
                                               : m_axes.selectedBoard();
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
            axis = Axes::kAll;
        }
        if (name == QLatin1String("RR")) {
            v.num = m_axes.rr(axis);
        } else if (name == QLatin1String("RR1")) {
            v.num = m_axes.rr1(axis);
        } else {
            qint64 sel = 0;
            if (parts.size() > 1) {
                const Err e = evalNumber(parts.at(1), sel);
                if (e != Err::None)
                    return e;
            }
            v.num = m_axes.rr3(axis, sel);
        }
        return Err::None;
    }
    if (name == QLatin1String("X") || name == QLatin1String("Y") || name == QLatin1String("U") ||
        name == QLatin1String("Z") || name == QLatin1String("P")) {
        qint64 n = 0;
        const Err e = evalNumber(raw, n);
        if (e != Err::None)
            return e;
        if (n < -1 || n > Axes::kMaxPoint)
            return Err::Range;
        const Axes::Coords values = m_axes.coordinates(n);
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
        const QDateTime now = m_rtc.clock();
        v.str = name == QLatin1String("DATE$") ? now.date().toString(QStringLiteral("yyyy/MM/dd"))
                                               : now.time().toString(QStringLiteral("HH:mm:ss"));
        return Err::None;
    }
    return Err::Syntax;
}

} // namespace sim
