#include "health/install.h"

#include "health/healthbar.h"
#include "link/link.h"
#include "monitor/poller.h"
#include "ui/freshness.h"

#include <QStatusBar>

namespace health {

void install(QStatusBar &statusBar, QWidget &owner, wire::Link &link, monitor::Poller &poller, Clock &clock)
{
    auto *bar = new HealthBar(link);
    statusBar.addPermanentWidget(bar);
    statusBar.setSizeGripEnabled(false);
    // A message is cut where the labels on the right begin, a folder's name
    // in it often before its last words; the labels keep their own tool tips.
    QObject::connect(&statusBar, &QStatusBar::messageChanged, &statusBar, &QWidget::setToolTip);

    auto *freshness = new ui::Freshness(clock, &owner);
    bar->setPoller(&poller);
    // Whatever ends the link makes every value stale at once.
    QObject::connect(&link, &wire::Link::stateChanged, freshness,
                     [freshness, &link] { freshness->setLinkUp(wire::isUp(link.state())); });
}

} // namespace health
