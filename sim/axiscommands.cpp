// Moving, stopping and setting the axes; writing and listing points.
#include "sim/axiscommands.h"

#include "sim/axes.h"
#include "sim/dispatcher.h"
#include "sim/interpreter.h"
#include "sim/output.h"
#include "sim/syntax.h"

namespace sim {

using namespace syntax;

AxisCommands::AxisCommands(Axes &axes, Interpreter &interpreter, Output &output)
    : m_axes(axes), m_interpreter(interpreter), m_output(output)
{
}

void AxisCommands::install(Dispatcher &d)
{
    d.add("MPG", true, [this](const QString &a) { return selectBoard(a); });
    d.add("ACCEL", true, [this](const QString &a) { return accel(a); });
    d.add("RMVS", true, [this](const QString &a) { return move(a); });
    d.add("STOP", true, [this](const QString &a) { return stop(a); });
    d.add("H_ON", true, [this](const QString &a) { return generalOutput(a, true); });
    d.add("H_OFF", true, [this](const QString &a) { return generalOutput(a, false); });
    d.add("SETP", true, [this](const QString &a) { return setPoint(a); });
    d.add("CLRPOS", true, [this](const QString &a) { return clearPosition(a); });
    d.add("NEWP", false, [this](const QString &) {
        m_axes.clearPoints();
        return Err::None;
    });
    d.add("PLS", false, [this](const QString &a) { return listPoints(a); });
}

Err AxisCommands::selectBoard(const QString &args)
{
    qint64 b = 0;
    const Err e = m_interpreter.evalNumber(args, b);
    return e != Err::None ? e : m_axes.selectBoard(b);
}

Err AxisCommands::accel(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 2)
        return Err::Syntax;
    const int axis = axisIndex(w.at(0));
    if (axis < 0)
        return Err::Syntax;
    qint64 v = 0;
    const Err e = m_interpreter.evalNumber(w.at(1), v);
    if (e != Err::None)
        return e;
    if (v < 1 || v > 1000000)
        return Err::Range;
    m_axes.setAcceleration(axis, v);
    return Err::None;
}

Err AxisCommands::move(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 2)
        return Err::Syntax;
    const int axis = axisIndex(w.at(0));
    if (axis < 0)
        return Err::Syntax;
    qint64 d = 0;
    const Err e = m_interpreter.evalNumber(w.at(1), d);
    if (e != Err::None)
        return e;
    if (d < -4 * Axes::kLimit || d > 4 * Axes::kLimit)
        return Err::Range;
    return m_axes.move(axis, d);
}

Err AxisCommands::stop(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.isEmpty() || w.size() > 2)
        return Err::Syntax;
    const int axis = axisIndex(w.at(0));
    if (axis < 0)
        return Err::Syntax;
    m_axes.stop(axis);
    return Err::None;
}

Err AxisCommands::generalOutput(const QString &args, bool on)
{
    qint64 k = 0;
    const Err e = m_interpreter.evalNumber(args, k);
    if (e != Err::None)
        return e;
    if (k < 0 || k > 3)
        return Err::Range;
    m_axes.setGeneralOutput(static_cast<int>(k), on);
    return Err::None;
}

// SETP n P(m) or SETP n x y u z: n = 0 sets the positions, -1 the counters,
// 1 .. kMaxPoint a point.
Err AxisCommands::setPoint(const QString &args)
{
    const QStringList w = splitArgs(args);
    if (w.size() != 2 && w.size() != 5)
        return Err::Syntax;
    qint64 n = 0;
    Err e = m_interpreter.evalNumber(w.at(0), n);
    if (e != Err::None)
        return e;
    Axes::Coords c{};
    if (w.size() == 2) {
        Value v;
        if ((e = m_interpreter.evalValue(w.at(1), v)) != Err::None)
            return e;
        if (v.multi.size() != 4)
            return Err::Syntax;
        for (int i = 0; i < 4; ++i)
            c[static_cast<size_t>(i)] = v.multi.at(i);
    } else {
        for (int i = 0; i < 4; ++i) {
            if ((e = m_interpreter.evalNumber(w.at(i + 1), c[static_cast<size_t>(i)])) != Err::None)
                return e;
        }
    }
    if (n == 0)
        m_axes.setPositions(c);
    else if (n == -1)
        m_axes.setCounters(c);
    else if (n >= 1 && n <= Axes::kMaxPoint)
        m_axes.setPoint(n, c);
    else
        return Err::Range;
    return Err::None;
}

Err AxisCommands::clearPosition(const QString &args)
{
    const QString a = args.trimmed();
    const int axis = axisIndex(a);
    if (axis >= 0) {
        m_axes.setPosition(axis, 0);
        return Err::None;
    }
    qint64 n = 0;
    const Err e = m_interpreter.evalNumber(a, n);
    if (e != Err::None)
        return e;
    if (n != -1)
        return Err::Range;
    m_axes.setCounters(Axes::Coords{});
    return Err::None;
}

Err AxisCommands::listPoints(const QString &args)
{
    qint64 n = 0;
    const Err e = m_interpreter.evalNumber(args, n);
    if (e != Err::None)
        return e;
    const auto line = [this](qint64 p, const Axes::Coords &c) {
        m_output.line(QStringLiteral("SETP %1 %2 %3 %4 %5").arg(p).arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]));
    };
    if (n == -1) {
        const auto &points = m_axes.points();
        for (auto it = points.constBegin(); it != points.constEnd(); ++it)
            line(it.key(), it.value());
        return Err::None;
    }
    if (n < 1 || n > Axes::kMaxPoint)
        return Err::Range;
    line(n, m_axes.point(n));
    return Err::None;
}

} // namespace sim
