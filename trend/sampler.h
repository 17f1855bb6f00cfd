// Which reads a poll tick needs for the plotted values: the page's own
// replies are taken as they are, and only what the page did not read is read
// in addition, once per read, in the order the values were added, at most
// kMaxExtraReads of them.
#pragma once

#include "trend/probe.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace trend {

class Sampler
{
public:
    static constexpr int kMaxExtraReads = 8;

    // A reply the page read in this tick.
    void pageRead(const QString &command, const QString &reply);
    // The commands to send after the page's, in order.
    QStringList extraReads(const QVector<Probe> &probes) const;
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
