#include "trend/sampler.h"

namespace trend {

void Sampler::pageRead(const QString &command, const QString &reply)
{
    m_replies.insert(readKey(command), reply);
}

QStringList Sampler::extraReads(const QVector<Probe> &probes) const
{
    QStringList commands;
    QStringList keys;
    for (const Probe &p : probes) {
        if (commands.size() >= kMaxExtraReads)
            break;
        const QString key = readKey(p.command);
        if (m_replies.contains(key) || keys.contains(key))
            continue;
        keys << key;
        commands << p.command;
    }
    return commands;
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
