#include "health/install.h"

#include "health/healthbar.h"
#include "link/link.h"
#include "monitor/poller.h"
#include "ui/freshness.h"
#include "ui/mainwindow.h"

#include <QStatusBar>

namespace health {

void install(MainWindow &window)
{
    link::Link &link = window.link();

    auto *bar = new HealthBar(link);
    window.statusBar()->addPermanentWidget(bar);
    window.statusBar()->setSizeGripEnabled(false);

    auto *freshness = new ui::Freshness(window.clock(), &window);
    // The poller is found when it is needed: the window makes it after the
    // pages.
    QObject::connect(&link, &link::Link::connectedChanged, bar, [bar, &window, freshness](bool up) {
        if (up)
            bar->setPoller(window.findChild<monitor::Poller *>());
        freshness->setLinkUp(up);
    });
    // Whatever ends the link makes every value stale at once.
    for (auto down : {&link::Link::aboutToClose, &link::Link::peerClosed, &link::Link::timedOut})
        QObject::connect(&link, down, freshness, [freshness] { freshness->setLinkUp(false); });
}

} // namespace health
