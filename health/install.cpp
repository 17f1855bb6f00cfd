#include "health/install.h"

#include "app/mainwindow.h"
#include "health/healthbar.h"
#include "link/link.h"
#include "monitor/poller.h"
#include "ui/freshness.h"

#include <QStatusBar>

namespace health {

void install(MainWindow &window)
{
    link::Link &link = window.link();

    auto *bar = new HealthBar(link);
    window.statusBar()->addPermanentWidget(bar);
    window.statusBar()->setSizeGripEnabled(false);

    auto *freshness = new ui::Freshness(window.clock(), &window);
    bar->setPoller(&window.poller());
    QObject::connect(&link, &link::Link::connectedChanged, bar,
                     [bar, &window, freshness](bool up) { freshness->setLinkUp(up); });
    // Whatever ends the link makes every value stale at once.
    for (auto down : {&link::Link::aboutToClose, &link::Link::peerClosed, &link::Link::timedOut})
        QObject::connect(&link, down, freshness, [freshness] { freshness->setLinkUp(false); });
}

} // namespace health
