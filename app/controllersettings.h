// What the monitor keeps for each controller it talks to, apart from what
// every window shares: the receive time-out typed for it, the page last shown
// and the values plotted. Kept under the address book's name of the
// controller, or under its address when it was reached by address.
#pragma once

#include "ui/plotprobe.h"

#include <QList>
#include <QString>

#include <utility>

class QSettings;

namespace app {

struct ControllerSettings
{
    // Whether anything was kept for the controller.
    bool found = false;
    // As typed; empty when none was kept for the controller.
    QString timeoutSeconds;
    // The tab's place among the pages (0 is the console).
    int lastTab = 0;
    QList<ui::PlotProbe> series;

    // What was kept for `controller`. A plotted value whose read is not a
    // plain print (anything that could write, however it got into the
    // store) is dropped: its command would go out with every poll tick.
    static ControllerSettings load(QSettings &store, const QString &controller);
    void save(QSettings &store, const QString &controller) const;
};

// Moves what is kept for each controller renamed in the address book (the
// name before, the name now) to its new name. All are read before any is
// written, so two names swapped swap their settings.
void renameControllerSettings(QSettings &store, const QList<std::pair<QString, QString>> &renames);

// The key a controller's settings are kept under: its name when it has one,
// else its address; neither case nor surrounding blanks count, nor the
// console's port spelled out.
QString controllerKey(const QString &name, const QString &address);

} // namespace app
