// PR and the commands that read and write bits, MBK words and arrays.
#include "sim/memorycommands.h"

#include "sim/dispatcher.h"
#include "sim/interpreter.h"
#include "sim/memory.h"
#include "sim/output.h"
#include "sim/syntax.h"

namespace sim {

using namespace syntax;

MemoryCommands::MemoryCommands(Memory &memory, Interpreter &interpreter, Output &output)
    : m_memory(memory), m_interpreter(interpreter), m_output(output)
{
}

void MemoryCommands::install(Dispatcher &d)
{
    const auto print = [this](const QString &a) { return this->print(a); };
    d.add("PR", true, print);
    d.add("PRINT", true, print);
    d.add("P", false, print);
    d.add("PRA", true, [this](const QString &a) { return array(a); });
    d.add("ON", true, [this](const QString &a) { return force(a, true); });
    d.add("OFF", true, [this](const QString &a) { return force(a, false); });
    d.add("CLR_OUTP", true, [this](const QString &a) { return clearOutputs(a); });
    d.add("FILL", true, [this](const QString &a) { return fill(a); });
    d.add("NEWM", false, [this](const QString &) {
        m_memory.clearMbk();
        return Err::None;
    });
    d.add("S_MBK", false, [this](const QString &a) { return listMbk(a); });
}

Err MemoryCommands::print(const QString &args)
{
    // One line of a few items makes a reply of any size from long strings
    // (PR S$ S$ ...): past this, refuse rather than build it.
    constexpr qsizetype kMaxPrint = 1024 * 1024;
    QStringList items;
    qsizetype size = 0;
    for (const QString &word : splitArgs(args)) {
        Value v;
        const Err e = m_interpreter.evalValue(word, v);
        if (e != Err::None)
            return e;
        items << v.text();
        if ((size += items.constLast().size() + 1) > kMaxPrint)
            return Err::Memory;
    }
    m_output.pr(items);
    return Err::None;
}

Err MemoryCommands::array(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() < 2 || w.size() > 3 || !isIdentStart(w.at(0).at(0)))
        return Err::Syntax;
    for (const QChar c : w.at(0)) {
        if (!isIdentChar(c))
            return Err::Syntax;
    }
    qint64 i = 0;
    Err e = m_interpreter.evalNumber(w.at(1), i);
    if (e != Err::None)
        return e;
    const QString name = w.at(0).toUpper();
    if (w.size() == 3) {
        Value v;
        if ((e = m_interpreter.evalValue(w.at(2), v)) != Err::None)
            return e;
        if (!v.multi.isEmpty())
            return Err::Type;
        return m_memory.setArrayItem(name, i, v);
    }
    m_output.pr({m_memory.arrayItem(name, i).text()});
    return Err::None;
}

Err MemoryCommands::force(const QString &args, bool on)
{
    qint64 n = 0;
    const Err e = m_interpreter.evalNumber(args, n);
    return e != Err::None ? e : m_memory.forceBit(n, on);
}

Err MemoryCommands::clearOutputs(const QString &args)
{
    qint64 k = 0;
    const Err e = m_interpreter.evalNumber(args, k);
    if (e != Err::None)
        return e;
    if (k < 1 || k > 15)
        return Err::Range;
    m_memory.clearSpaces(k);
    return Err::None;
}

Err MemoryCommands::fill(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 3 || !w.at(0).startsWith(QLatin1String("MBK("), Qt::CaseInsensitive) ||
        !w.at(0).endsWith(QLatin1Char(')')))
        return Err::Syntax;
    qint64 a = 0;
    QString cast;
    Err e = m_interpreter.parseMbkRef(w.at(0).mid(4, w.at(0).size() - 5), a, cast);
    if (e != Err::None)
        return e;
    qint64 n = 0;
    qint64 v = 0;
    if ((e = m_interpreter.evalNumber(w.at(1), n)) != Err::None ||
        (e = m_interpreter.evalNumber(w.at(2), v)) != Err::None)
        return e;
    return m_memory.fillMbk(a, n, v);
}

Err MemoryCommands::listMbk(const QString &args)
{
    qint64 a = 0;
    const Err e = m_interpreter.evalNumber(args, a);
    if (e != Err::None)
        return e;
    const auto line = [this](qint64 addr) {
        m_output.line(QStringLiteral("MBK(%1~Wrd)=%2").arg(addr).arg(m_memory.mbkWord(addr)));
    };
    if (a == -1) {
        for (qint64 i = 0; i < Memory::kMbkWords; ++i) {
            if (m_memory.mbkWord(i) != 0)
                line(i);
        }
        return Err::None;
    }
    if (a < 0 || a >= Memory::kMbkWords)
        return Err::Range;
    line(a);
    return Err::None;
}

} // namespace sim
