#include "trend/probe.h"

#include "link/textutil.h"
#include "monitor/axissignals.h"
#include "monitor/bits.h"
#include "panels/replies.h"
#include "panels/tasks.h"

#include <cmath>

namespace trend {

namespace {

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

} // namespace trend
