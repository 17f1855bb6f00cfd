// Small rules of the polling engine: the tick grid, the activity star, the
// stop marker in the console and the axis board selection.
#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>

namespace monitor {

inline constexpr std::chrono::milliseconds kPollInterval{300};

// The star turns blue after ticks whose count has bit 1 clear (1, 4, 5, 8,
// 9, ...) and stays light grey after the others, so it blinks every two ticks.
inline bool starBlue(qint64 timerjobcount)
{
    return (timerjobcount & 2) == 0;
}

// Ticks fall on the 0.3 s grid counted from the start of polling. After the
// tick that was due at `dueMs` ended at `nowMs` (both from that start), the
// next one is due at the first grid point after both: a long tick makes the
// engine skip the due times it ran over instead of firing them late.
qint64 nextTickDue(qint64 dueMs, qint64 nowMs, qint64 intervalMs = kPollInterval.count());

// "\r\n// " + the time as hours without a leading zero, minutes and seconds
// + " //".
QString timeMarker(const QDateTime &time);

// "MPG " + board number.
QString mpgCommand(const QString &board);
// The controller's error texts begin with a TAB.
bool boardRefused(const QString &reply);
// The alert text for a refused board: the command and the reply without its
// prompt lines.
QString mpgRefusalText(const QString &board, const QString &reply);

} // namespace monitor
