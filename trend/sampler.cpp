#include "trend/sampler.h"

#include "monitor/polling.h"

namespace trend {

void Sampler::pageRead(const QString &command, const QString &reply)
{
    m_replies.insert(readKey(command), reply);
}

QVector<Read> Sampler::extraReads(const QVector<Probe> &probes, std::optional<int> board,
                                  bool selectBoard) const
{
    QVector<Read> reads;
    QStringList keys;
    for (const Probe &p : probes) {
        if (reads.size() >= kMaxExtraReads)
            break;
        const bool axis = p.extract == Extract::AxisPosition || p.extract == Extract::AxisCounter;
        if (axis && !board)
            continue;
        const QString key = readKey(p.command);
        if (m_replies.contains(key) || keys.contains(key))
            continue;
        keys << key;
        Read read{p.command, QString()};
        if (axis && selectBoard)
            read.selection = monitor::mpgCommand(QString::number(*board));
        reads << read;
    }
    return reads;
}

void Sampler::extraRead(const QString &command, const QString &reply)
{
    m_replies.insert(readKey(command), reply);
}

std::optional<double> Sampler::value(const Probe &probe) const
{
    const auto it = m_replies.constFind(readKey(probe.command));
    if (it == m_replies.constEnd())
        return std::nullopt;
    return valueOf(probe, *it);
}

} // namespace trend
