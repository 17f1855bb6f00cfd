// What the trend plots: the values the pages offer (ui::PlotProbe, built by
// the pages' own rules), which of them one read serves, and the value a
// reply gives.
#pragma once

#include "monitor/axissignals.h"
#include "monitor/bits.h"
#include "panels/mbk.h"
#include "panels/tasks.h"
#include "panels/variables.h"
#include "ui/plotprobe.h"

#include <QString>
#include <optional>

namespace trend {

using Probe = ui::PlotProbe;
using Extract = ui::PlotProbe::Extract;

// Each kind of value's probe, as the pages' rules build it.
using monitor::axisProbe;
using monitor::bitProbe;
using panels::mbkProbe;
using panels::taskProbe;
using panels::variableProbe;

// Two commands with the same key are one read: the command itself, except
// that the axis query is one read whichever register it also asks for (the
// positions and counters do not depend on it).
QString readKey(const QString &command);

// The value a reply to the probe's command gives, or nothing when the reply
// does not carry one (an error text, a reply cut short).
std::optional<double> valueOf(const Probe &probe, const QString &reply);

} // namespace trend
