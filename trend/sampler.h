// Which reads a poll tick needs for the plotted values: the page's own
// replies are taken as they are, and only what the page did not read is read
// in addition, once per read, in the order the values were added, at most
// kMaxExtraReads of them. Axis values come from the board the Axis page
// reads, selected first as that page does, and from no board otherwise.
#pragma once

#include "trend/probe.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace trend {

// One read a tick adds after the page's.
struct Read
{
    QString command;
    // When not empty, sent just before `command`: the board selection an
    // axis read needs. Refused, it leaves the read out.
    QString selection;
};

class Sampler
{
public:
    static constexpr int kMaxExtraReads = 8;

    // A reply the page read in this tick.
    void pageRead(const QString &command, const QString &reply);
    // The reads to send after the page's, in order. `board` is the board the
    // Axis page reads (nothing: axis values are not read at all);
    // `selectBoard` puts its selection before the axis read.
    QVector<Read> extraReads(const QVector<Probe> &probes, std::optional<int> board, bool selectBoard) const;
    // The reply to one of them.
    void extraRead(const QString &command, const QString &reply);
    // The probe's value in this tick, or nothing when no reply of this tick
    // carries it.
    std::optional<double> value(const Probe &probe) const;
    // The tick is over: its replies are forgotten.
    void endTick() { m_replies.clear(); }

private:
    QHash<QString, QString> m_replies; // by readKey()
};

} // namespace trend
