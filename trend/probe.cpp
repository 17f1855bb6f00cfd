#include "trend/probe.h"

#include "link/textutil.h"
#include "monitor/axissignals.h"
#include "monitor/bits.h"
#include "panels/replies.h"
#include "panels/tasks.h"
#include "panels/variables.h"

#include <cmath>

namespace trend {

namespace {

const QChar kAxisNames[4] = {QLatin1Char('X'), QLatin1Char('Y'), QLatin1Char('U'), QLatin1Char('Z')};

// The axis query around its register expression.
struct AxisFrame
{
    QString head;
    QString tail;
};

const AxisFrame &axisFrame()
{
    static const AxisFrame frame = [] {
        const QChar mark(0x1f);
        const QString q = monitor::axisQuery(QString(mark));
        const qsizetype at = q.indexOf(mark);
        return AxisFrame{q.left(at), q.mid(at + 1)};
    }();
    return frame;
}

// The largest magnitude a sample may have, 2^53: up to there a double holds
// every whole number, so the legend and the CSV show what the controller
// sent and neighbouring values stay apart on the y axis (a QValueAxis of
// doubles), whose range and margins are then far from overflowing. An
// infinity or a NaN would make that range meaningless for as long as the
// sample stays in the ring: none of them is a sample.
constexpr double kLargestSample = 9007199254740992.0;

std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double v = text::trimBlanks(text).toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::abs(v) > kLargestSample)
        return std::nullopt;
    return v;
}

} // namespace

QString readKey(const QString &command)
{
    const AxisFrame &f = axisFrame();
    if (command.startsWith(f.head) && command.endsWith(f.tail))
        return f.head + f.tail;
    return command;
}

std::optional<double> valueOf(const Probe &probe, const QString &reply)
{
    switch (probe.extract) {
    case Extract::Number:
        return number(panels::stringmodify(reply));
    case Extract::Bit: {
        const std::optional<qint64> word = monitor::parseBitReply(reply);
        if (!word)
            return std::nullopt;
        return monitor::lampOn(*word, probe.index) ? 1.0 : 0.0;
    }
    case Extract::AxisPosition:
    case Extract::AxisCounter: {
        const monitor::AxisReading r = monitor::parseAxisReply(reply);
        if (!r.hasValues || probe.index < 0 || probe.index > 3)
            return std::nullopt;
        const auto &values = probe.extract == Extract::AxisPosition ? r.positions : r.counters;
        return number(values[static_cast<size_t>(probe.index)]);
    }
    case Extract::TaskStep: {
        const panels::TaskValues v = panels::parseTaskReply(reply);
        if (!v.step)
            return std::nullopt;
        return number(*v.step);
    }
    }
    return std::nullopt;
}

std::optional<Probe> bitProbe(monitor::BitGroup group, const QString &bankWord, int lamp)
{
    bool ok = false;
    const qint64 bank = bankWord.toLongLong(&ok);
    if (!ok || lamp < 0 || lamp >= monitor::lampCount(group))
        return std::nullopt;
    Probe p;
    p.label =
        monitor::lampWord(group) + QLatin1Char(' ') + QString::number(monitor::bitNumber(group, bank, lamp));
    p.command = monitor::bitQuery(bankWord, monitor::bankCast(group));
    p.extract = Extract::Bit;
    p.index = lamp;
    return p;
}

std::optional<Probe> variableProbe(const QString &name)
{
    const panels::VariableQuery q = panels::variableQuery(name);
    if (!q.valid || panels::isStringName(q.variname))
        return std::nullopt;
    Probe p;
    p.label = name;
    p.command = q.command;
    return p;
}

std::optional<Probe> mbkProbe(const QString &addressText, panels::MbkSize size)
{
    if (text::trimBlanks(addressText).isEmpty())
        return std::nullopt;
    Probe p;
    p.label = QStringLiteral("MBK(") + addressText + panels::mbkSuffix(size) + QLatin1Char(')');
    p.command = panels::mbkReadCommand(addressText, size);
    return p;
}

Probe axisProbe(bool counter, int axis)
{
    Probe p;
    p.label = (counter ? QStringLiteral("Counter ") : QStringLiteral("Position ")) + kAxisNames[axis & 3];
    p.command = monitor::axisQuery(monitor::registerTitles().value(0));
    p.extract = counter ? Extract::AxisCounter : Extract::AxisPosition;
    p.index = axis & 3;
    return p;
}

std::optional<Probe> taskProbe(const QString &taskNoText)
{
    const std::optional<QString> command = panels::taskReadCommand(taskNoText);
    if (!command || text::trimBlanks(taskNoText).isEmpty())
        return std::nullopt;
    Probe p;
    p.label = QStringLiteral("Task ") + taskNoText + QStringLiteral(" step");
    p.command = *command;
    p.extract = Extract::TaskStep;
    return p;
}

} // namespace trend
