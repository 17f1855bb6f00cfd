// The monitor's pages. The poll and the trace know a page by its identifier,
// the digits "0".."6" in page order.
#pragma once

#include <QString>

namespace monitor {

enum class Tab { Console, Io, Variables, Mbk, Cu, Axis, Tasks };
constexpr int kTabCount = 7;

inline QString tabIdentifier(Tab tab)
{
    return QString::number(static_cast<int>(tab));
}

} // namespace monitor
