// The trend dock's "+" menu, as the suites pick from it.
#pragma once

#include "support/fixture.h"
#include "support/widgets.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

// The entry `label` in the submenu `group` of `button`'s menu, filled as opening it does.
inline QAction *menuEntry(QToolButton *button, const QString &group, const QString &label)
{
    if (!button || !button->menu())
        return nullptr;
    emit button->menu()->aboutToShow();
    for (QAction *g : button->menu()->actions()) {
        if (!g->menu() || g->text() != group)
            continue;
        for (QAction *a : g->menu()->actions()) {
            if (a->text() == label)
                return a;
        }
    }
    return nullptr;
}

// The entry `label` under `group` of the "+" menu.
inline QAction *addEntry(MonitorFixture &f, const QString &group, const QString &label)
{
    return menuEntry(control<QToolButton>(f.window.get(), QStringLiteral("buttonTrendAdd")), group, label);
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
