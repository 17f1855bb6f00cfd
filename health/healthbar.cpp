#include "health/healthbar.h"

#include "link/link.h"
#include "monitor/poller.h"
#include "ui/controls.h"
#include "ui/uihelpers.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QTimer>

namespace health {

namespace {

QColor phaseColour(LinkPhase phase)
{
    switch (phase) {
    case LinkPhase::NotConnected:
        return ui::kLightGray;
    case LinkPhase::Connecting:
        return ui::kOrange;
    case LinkPhase::Connected:
        return ui::kBlue;
    case LinkPhase::LoggedIn:
        return ui::kGreen;
    case LinkPhase::ClosedByController:
    case LinkPhase::TimedOut:
        return ui::kRed;
    }
    return ui::kLightGray;
}

QLabel *barLabel(const QString &name)
{
    auto *l = ui::named(new QLabel, name);
    l->setTextFormat(Qt::PlainText);
    return l;
}

// A host name can be longer than the status bar has room for beside the
// figures after it: the label gives way, cut in its middle, and its tool tip
// reads it whole.
class AddressLabel : public QLabel
{
public:
    QSize minimumSizeHint() const override
    {
        QSize size = QLabel::minimumSizeHint();
        size.setWidth(qMin(size.width(), fontMetrics().horizontalAdvance(QStringLiteral("000.000\u2026")) +
                                             2 * margin() + 2 * frameWidth()));
        return size;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(),
                              fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width()),
                              foregroundRole());
    }
};

// A label shows `text`, and a screen reader says `spoken`.
void showText(QLabel *label, const QString &text, const QString &spoken)
{
    label->setText(text);
    label->setAccessibleName(spoken);
}

} // namespace

HealthBar::HealthBar(wire::Link &link, QWidget *parent)
    : QWidget(parent), m_link(link), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("linkHealth"));
    m_monotonic.start();
    m_dot = barLabel(QStringLiteral("labelLinkDot"));
    m_dot->setText(QStringLiteral("\u25CF"));
    m_state = barLabel(QStringLiteral("labelLinkState"));
    m_address = ui::named(new AddressLabel, QStringLiteral("labelLinkAddress"));
    m_address->setTextFormat(Qt::PlainText);
    m_roundTrip = barLabel(QStringLiteral("labelRoundTrip"));
    m_roundTrip->setToolTip(QStringLiteral("Median time from command to prompt over the last 20 exchanges"));
    m_tickCounts = barLabel(QStringLiteral("labelPollTicks"));
    m_tickCounts->setToolTip(QStringLiteral("Poll ticks in the last minute"));

    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(4, 0, 4, 0);
    h->setSpacing(6);
    h->addWidget(m_dot);
    h->addWidget(m_state);
    for (QLabel *l : {m_address, m_roundTrip}) {
        h->addSpacing(8);
        h->addWidget(ui::separator());
        h->addSpacing(8);
        h->addWidget(l);
    }
    // Shown only while a page polls, with its separator.
    m_tickGroup = new QWidget;
    auto *t = new QHBoxLayout(m_tickGroup);
    t->setContentsMargins(0, 0, 0, 0);
    t->setSpacing(0);
    t->addSpacing(8);
    t->addWidget(ui::separator());
    t->addSpacing(8);
    t->addWidget(m_tickCounts);
    h->addWidget(m_tickGroup);

    connect(&m_link, &wire::Link::stateChanged, this, [this](wire::State state, wire::Reason reason) {
        switch (state) {
        case wire::State::Connecting:
            // A new connection: what the one before measured is not its health.
            m_roundTrips.clear();
            m_ticks.clear();
            setPhase(LinkPhase::Connecting);
            break;
        case wire::State::LoggingIn:
            setPhase(LinkPhase::Connected);
            break;
        case wire::State::Ready:
            setPhase(LinkPhase::LoggedIn);
            break;
        case wire::State::Closing:
            break;
        case wire::State::Disconnected:
            // A dead link has no round trip: the last one measured is not
            // shown beside "not connected" as if it were its figure.
            m_roundTrips.clear();
            refresh();
            if (reason == wire::Reason::PeerClosed)
                setPhase(LinkPhase::ClosedByController);
            else if (reason == wire::Reason::TimedOut)
                setPhase(LinkPhase::TimedOut);
            else
                setPhase(LinkPhase::NotConnected);
            break;
        }
    });
    connect(&m_link, &wire::Link::replied, this,
            [this](const QString &, qint64 micros) { m_roundTrips.add(micros); });

    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &HealthBar::refresh);
    showPhase();
    refresh();
}

void HealthBar::setPoller(monitor::Poller *poller)
{
    if (m_poller == poller)
        return;
    if (m_poller)
        m_poller->disconnect(this);
    m_poller = poller;
    m_ticks.clear();
    if (!poller)
        return;
    connect(poller, &monitor::Poller::tickRan, this, [this] { m_ticks.addRun(m_monotonic.elapsed()); });
    connect(poller, &monitor::Poller::ticksSkipped, this,
            [this](int count) { m_ticks.addSkipped(m_monotonic.elapsed(), count); });
}

void HealthBar::setPhase(LinkPhase phase)
{
    if (phase == m_phase)
        return;
    m_phase = phase;
    showPhase();
    refresh();
    emit phaseChanged(phase);
}

void HealthBar::showPhase()
{
    const QString word = phaseWord(m_phase);
    ui::setTextColor(m_dot, phaseColour(m_phase));
    m_dot->setAccessibleName(QStringLiteral("Link ") + word);
    showText(m_state, word, QStringLiteral("Link ") + word);
    const bool up = m_phase == LinkPhase::Connected || m_phase == LinkPhase::LoggedIn;
    if (up)
        m_timer->start();
    else
        m_timer->stop();
}

void HealthBar::refresh()
{
    const QString address = m_link.address();
    showText(m_address, address.isEmpty() ? QStringLiteral("no controller") : address,
             QStringLiteral("Controller address ") + (address.isEmpty() ? QStringLiteral("none") : address));
    m_address->setToolTip(address);
    if (m_roundTrips.isEmpty()) {
        showText(m_roundTrip, QStringLiteral("round trip \u2014"), QStringLiteral("Round trip not measured"));
    } else {
        const QString rt = formatRoundTrip(m_roundTrips.median());
        showText(m_roundTrip, QStringLiteral("round trip ") + rt, QStringLiteral("Median round trip ") + rt);
    }
    const bool polling = m_poller && m_poller->isRunning();
    m_tickGroup->setVisible(polling);
    if (polling) {
        const qint64 now = m_monotonic.elapsed();
        const QString text = QStringLiteral("ticks %1 run, %2 skipped in the last minute")
                                 .arg(m_ticks.run(now))
                                 .arg(m_ticks.skipped(now));
        showText(m_tickCounts, text, QStringLiteral("Poll ") + text);
    }
}

} // namespace health
