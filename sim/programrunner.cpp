// Executing program lines, task by task, and the program commands.
#include "sim/programrunner.h"

#include "link/protocol.h"
#include "link/sjis.h"
#include "sim/dispatcher.h"
#include "sim/interpreter.h"
#include "sim/memory.h"
#include "sim/output.h"
#include "sim/programstore.h"
#include "sim/syntax.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace sim {

using namespace syntax;
using TaskState = ProgramStore::TaskState;

ProgramRunner::ProgramRunner(ProgramStore &program, Dispatcher &dispatcher, Interpreter &interpreter,
                             Memory &memory, Output &output, const qint64 &now)
    : m_program(program), m_dispatcher(dispatcher), m_interpreter(interpreter), m_memory(memory),
      m_output(output), m_now(now)
{
}

void ProgramRunner::install(Dispatcher &d)
{
    d.add(protocol::kClearProgram, false, [this](const QString &) {
        m_program.clear();
        return Err::None;
    });
    d.add(protocol::kLoadModeWord, false, [this](const QString &a) { return loadMode(a); });
    d.add("RENUM", false, [this](const QString &) {
        m_program.renumber();
        return Err::None;
    });
    d.add("LIST", false, [this](const QString &a) { return list(a); });
    d.add("Q", false, [this](const QString &) {
        m_program.resetListing();
        return Err::None;
    });
    d.add("MMC_LOAD", false, [this](const QString &a) { return loadBlocks(a); });
    d.add("RUN", false, [this](const QString &a) { return run(a); });
    d.add("TASK", true, [this](const QString &a) { return task(a); });
    d.add("BKP", false, [this](const QString &a) { return breakpoint(a); });
    d.add("N", false, [this](const QString &a) { return resume(a); });
    d.add("T", false, [this](const QString &a) { return trace(a); });
    d.add("MON", false, [this](const QString &a) { return monitor(a); });
}

// ---------------------------------------------------------------------------
// Execution

QByteArray ProgramRunner::breakText(qint64 line) const
{
    const QString n = QString::number(line);
    return "\r\n\x1b[7m BREAK " + n.toLatin1() + " \x1b[0m\r\n" +
           Output::encode(n + QLatin1Char('\t') + m_program.lines().value(line));
}

// Each task's current line is visible in MBK: tasks 0-31 from word 7836 on,
// tasks 32-63 from word 7772 on, a ~Lng each.
void ProgramRunner::writeTaskWord(int n, qint64 line)
{
    const qint64 a = n <= 31 ? 7836 + 2 * n : 7772 + 2 * (n - 32);
    m_memory.writeMbk(a, QStringLiteral("LNG"), line);
}

ProgramRunner::FlowResult ProgramRunner::executeLine(const QString &text)
{
    FlowResult r;
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
            r.err = m_program.resolveTarget(args, r.value);
            r.flow = r.err == Err::None ? Flow::Jump : Flow::Error;
            break;
        }
        if (word == QLatin1String("END")) {
            r.flow = Flow::End;
            break;
        }
        if (word == QLatin1String("WAIT")) {
            r.err = m_interpreter.evalNumber(args, r.value);
            if (r.err != Err::None) {
                r.flow = Flow::Error;
                break;
            }
            r.flow = Flow::Wait;
            r.value = std::max<qint64>(0, r.value);
            continue;
        }
        bool known = true;
        const Err e = m_dispatcher.run(stmt, true, &known);
        if (e != Err::None && known) {
            r.flow = Flow::Error;
            r.err = e;
            break;
        }
    }
    return r;
}

void ProgramRunner::runTasks()
{
    const auto &lines = m_program.lines();
    for (int n = 0; n < ProgramStore::kTasks; ++n) {
        ProgramStore::Task &t = m_program.task(n);
        if (t.state != TaskState::Running || t.nextAt > m_now)
            continue;
        auto it = lines.constFind(t.line);
        if (it == lines.constEnd())
            it = lines.lowerBound(t.line);
        if (it == lines.constEnd()) {
            t.state = TaskState::Stopped;
            continue;
        }
        t.line = it.key();
        writeTaskWord(n, t.line);
        if (!t.skipBreak && m_program.hasBreakpoint(t.line)) {
            t.state = TaskState::Break;
            m_output.appendAsync(breakText(t.line) + protocol::kBreakPromptLine);
            continue;
        }
        t.skipBreak = false;
        const QString text = it.value();
        const auto next = std::next(it);
        const qint64 nextLine = next != lines.constEnd() ? next.key() : t.line + 1;
        QByteArray *const saved = m_output.divert(m_output.async());
        const FlowResult r = executeLine(text);
        m_output.divert(saved);
        t.nextAt = m_now + ProgramStore::kStepMs;
        switch (r.flow) {
        case Flow::Next:
            t.line = nextLine;
            break;
        case Flow::Jump:
            t.line = r.value;
            break;
        case Flow::Wait:
            t.line = nextLine;
            // Saturated: a wait past the end of the clock is one for ever.
            t.nextAt = r.value > std::numeric_limits<qint64>::max() - t.nextAt
                           ? std::numeric_limits<qint64>::max()
                           : t.nextAt + r.value;
            break;
        case Flow::End:
            t.state = TaskState::Stopped;
            break;
        case Flow::Error:
            t.state = TaskState::Stopped;
            m_output.divert(m_output.async());
            m_output.line(QLatin1Char('\t') + errorText(r.err) + QStringLiteral(" @ ") +
                          QString::number(t.line));
            m_output.divert(saved);
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// Commands

Err ProgramRunner::loadMode(const QString &args)
{
    qint64 n = 0;
    if (!args.isEmpty()) {
        const Err e = m_interpreter.evalNumber(args, n);
        if (e != Err::None)
            return e;
    }
    m_program.setLoadMode(n == 2);
    return Err::None;
}

Err ProgramRunner::list(const QString &args)
{
    const QStringList w = splitArgs(args);
    QStringList lines;
    if (w.isEmpty()) {
        lines = m_program.listOn();
    } else {
        if (w.size() > 2)
            return Err::Syntax;
        qint64 start = 0;
        if (w.at(0).startsWith(QLatin1Char('*'))) {
            start = m_program.findLabel(w.at(0));
            if (start < 0)
                return Err::NoLine;
        } else {
            const Err e = m_interpreter.evalNumber(w.at(0), start);
            if (e != Err::None)
                return e;
        }
        qint64 count = 20;
        if (w.size() == 2) {
            const Err e = m_interpreter.evalNumber(w.at(1), count);
            if (e != Err::None)
                return e;
            if (count < 0)
                return Err::Range;
        }
        lines = m_program.listFrom(start, count);
    }
    for (const QString &line : lines)
        m_output.line(line);
    return Err::None;
}

Err ProgramRunner::loadBlocks(const QString &)
{
    bool ok = false;
    const QString text = wire::sjisDecode(m_program.takeBlocks(), &ok);
    if (!ok)
        return Err::BadChar;
    m_program.clear();
    // Lines end as command lines do: at CR LF, a lone CR or a lone LF.
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = text.split(lineEnd);
    int loaded = 0;
    QStringList errors;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = stripComment(lines.at(i)).trimmed();
        if (line.isEmpty())
            continue;
        const Err e = m_program.store(line, true);
        if (e == Err::None)
            ++loaded;
        else
            errors << QStringLiteral("\t%1: %2: %3").arg(i + 1).arg(errorText(e), line);
    }
    if (errors.isEmpty()) {
        m_output.line(QStringLiteral("Loaded %1 lines").arg(loaded));
    } else {
        for (const QString &e : errors)
            m_output.line(e);
    }
    return Err::None;
}

Err ProgramRunner::run(const QString &args)
{
    qint64 line = 0;
    if (!args.isEmpty()) {
        const Err e = m_program.resolveTarget(args, line);
        if (e != Err::None)
            return e;
    } else if (m_program.lines().isEmpty()) {
        return Err::None;
    } else {
        line = m_program.lines().firstKey();
    }
    m_program.startTask(0, line);
    return Err::None;
}

Err ProgramRunner::task(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 2)
        return Err::Syntax;
    qint64 n = 0;
    Err e = m_interpreter.evalNumber(w.at(0), n);
    if (e != Err::None)
        return e;
    if (n < 0 || n >= ProgramStore::kTasks)
        return Err::Range;
    qint64 line = 0;
    if ((e = m_program.resolveTarget(w.at(1), line)) != Err::None)
        return e;
    m_program.startTask(static_cast<int>(n), line);
    return Err::None;
}

Err ProgramRunner::breakpoint(const QString &args)
{
    const QString target = args.trimmed();
    if (target.isEmpty()) {
        for (const QString &bp : m_program.breakpoints())
            m_output.line(QStringLiteral("BKP ") + bp);
        return Err::None;
    }
    if (target == QLatin1String("0")) {
        m_program.clearBreakpoints();
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
    if (!m_program.breakpoints().contains(key) &&
        m_program.breakpoints().size() >= ProgramStore::kMaxBreakpoints)
        return Err::Memory;
    if (m_program.toggleBreakpoint(key))
        m_output.line(QStringLiteral("BKP %1 added").arg(key));
    else
        m_output.line(QStringLiteral("BKP %1 deleted").arg(key));
    return Err::None;
}

Err ProgramRunner::resume(const QString &args)
{
    if (!args.isEmpty())
        return Err::Syntax;
    if (!m_program.atBreakpoint())
        return Err::NotAtBreak;
    m_program.resumeFromBreak();
    return Err::None;
}

// One line of the task at a breakpoint, its output into the reply; the task
// then stands at the next line.
Err ProgramRunner::trace(const QString &args)
{
    if (!args.isEmpty())
        return Err::Syntax;
    const int n = m_program.taskAtBreak();
    if (n < 0)
        return Err::NotAtBreak;
    ProgramStore::Task &t = m_program.task(n);
    const auto &lines = m_program.lines();
    auto it = lines.lowerBound(t.line);
    if (it == lines.constEnd()) {
        t.state = TaskState::Stopped;
        return Err::None;
    }
    writeTaskWord(n, it.key());
    const auto next = std::next(it);
    const qint64 nextLine = next != lines.constEnd() ? next.key() : it.key() + 1;
    const FlowResult r = executeLine(it.value());
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
    const auto at = lines.lowerBound(t.line);
    if (at == lines.constEnd()) {
        t.state = TaskState::Stopped;
        return Err::None;
    }
    t.line = at.key();
    writeTaskWord(n, t.line);
    m_output.raw(breakText(t.line));
    return Err::None;
}

Err ProgramRunner::monitor(const QString &)
{
    static const char *const names[] = {"STOP", "RUN", "", "BREAK"};
    for (int n = 0; n < ProgramStore::kTasks; ++n) {
        const ProgramStore::Task &t = m_program.task(n);
        if (n != 0 && !t.everRun)
            continue;
        m_output.line(QStringLiteral("TASK %1 %2 [%3]")
                          .arg(n)
                          .arg(QLatin1String(names[static_cast<int>(t.state)]))
                          .arg(t.line));
    }
    return Err::None;
}

} // namespace sim
