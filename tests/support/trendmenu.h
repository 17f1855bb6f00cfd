// The trend dock's "+" menu, as the suites pick from it.
#pragma once

#include "support/fixture.h"
#include "support/widgets.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

// The entry `label` under `group` of the "+" menu, filled as opening it does.
inline QAction *addEntry(MonitorFixture &f, const QString &group, const QString &label)
{
    auto *add = control<QToolButton>(f.window.get(), QStringLiteral("buttonTrendAdd"));
    if (!add || !add->menu())
        return nullptr;
    emit add->menu()->aboutToShow();
    for (QAction *g : add->menu()->actions()) {
        if (!g->menu() || g->text() != group)
            continue;
        for (QAction *a : g->menu()->actions()) {
            if (a->text() == label)
                return a;
        }
    }
    return nullptr;
}

// Plots `label` of `group` from the "+" menu; false when it is not offered.
inline bool plot(MonitorFixture &f, const QString &group, const QString &label)
{
    QAction *a = addEntry(f, group, label);
    if (!a || !a->isEnabled())
        return false;
    a->trigger();
    return true;
}
