// The trend's CSV export: one row per sampling time, the time first, then one
// column per series.
#pragma once

#include "trend/series.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace trend {

// Header "time" and the names; each row the time (ISO 8601, local, with
// milliseconds) and each series' value at that time, empty where a series has
// none. Series sampled in the same tick share their row.
QString csvText(const QStringList &names, const std::vector<const Series *> &series);

} // namespace trend
