// The link's health at the bottom of the window: a coloured dot and the state
// word, the controller's address, the median round trip of the last
// exchanges and, while polling, the ticks run and skipped in the last minute.
// Every label says the same in its accessible name.
#pragma once

#include "health/healthmodel.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;

namespace wire {
class Link;
}
namespace monitor {
class Poller;
}

namespace health {

class HealthBar : public QWidget
{
    Q_OBJECT

public:
    // How often the figures are brought up to date.
    static constexpr int kRefreshMs = 500;

    explicit HealthBar(wire::Link &link, QWidget *parent = nullptr);

    // The poller whose ticks are counted; the bar follows it from now on.
    void setPoller(monitor::Poller *poller);
    LinkPhase phase() const { return m_phase; }
    // Shows the figures as they are now (the timer does it every kRefreshMs).
    void refresh();

signals:
    void phaseChanged(health::LinkPhase phase);

private:
    void setPhase(LinkPhase phase);
    void showPhase();

    wire::Link &m_link;
    QPointer<monitor::Poller> m_poller;
    LinkPhase m_phase = LinkPhase::NotConnected;
    RoundTrips m_roundTrips;
    TickWindow m_ticks;
    QElapsedTimer m_monotonic;
    QTimer *m_timer = nullptr;
    QLabel *m_dot = nullptr;
    QLabel *m_state = nullptr;
    QLabel *m_address = nullptr;
    QLabel *m_roundTrip = nullptr;
    QLabel *m_tickCounts = nullptr;
    QWidget *m_tickGroup = nullptr;
};

} // namespace health
