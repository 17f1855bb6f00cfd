#include "monitor/polling.h"

#include <algorithm>

namespace monitor {

qint64 nextTickDue(qint64 dueMs, qint64 nowMs, qint64 intervalMs)
{
    const qint64 base = std::max(dueMs, nowMs);
    // Floor division so that a clock read just before the origin still lands
    // on the first grid point.
    qint64 index = base / intervalMs;
    if (base < 0 && base % intervalMs != 0)
        --index;
    return (index + 1) * intervalMs;
}

QString timeMarker(const QDateTime &time)
{
    return QStringLiteral("\r\n// ") + time.toString(QStringLiteral("H:mm:ss")) + QStringLiteral(" //");
}

QString mpgCommand(const QString &board)
{
    return QStringLiteral("MPG ") + board;
}

bool boardRefused(const QString &reply)
{
    return reply.contains(QLatin1Char('\t'));
}

QString mpgRefusalText(const QString &board, const QString &reply)
{
    QString shown = reply;
    shown.remove(QStringLiteral("\r\n#"));
    return mpgCommand(board) + shown;
}

} // namespace monitor
