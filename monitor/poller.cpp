#include "monitor/poller.h"

#include "app/clock.h"
#include "link/link.h"
#include "link/protocol.h"
#include "monitor/polling.h"
#include "ui/page.h"
#include "ui/uihelpers.h"

#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>

Q_LOGGING_CATEGORY(lcPoller, "quorin.monitor")

namespace monitor {

namespace {
const QString kStar = QStringLiteral("★");
}

Poller::Poller(link::Link &link, Clock &clock, QObject *parent)
    : QObject(parent), m_link(link), m_clock(clock), m_timer(new QTimer(this))
{
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &Poller::onTimeout);
}

Poller::~Poller() = default;

void Poller::setPage(ui::Page *page)
{
    m_page = page;
}

void Poller::timerStart()
{
    if (!m_link.isConnected())
        return;
    m_timer->stop();
    m_running = false;
    emit statusCleared();
    emit indicatorShown(kStar);
    m_link.state().setWaitPrompt(true);
    m_link.sendString(QLatin1String(protocol::kMachineModeWord));
    m_link.receivePrompt();
    // A time-out or a disconnect during that wait closed the link; a timer
    // started now would only tick on without a connection.
    if (!m_link.isConnected())
        return;
    m_ticks = 0;
    m_running = true;
    m_grid.start();
    m_dueMs = kPollInterval.count();
    m_timer->start(kPollInterval);
}

void Poller::timerStop()
{
    qCInfo(lcPoller) << "timerStop()";
    emit indicatorHidden();
    if (!m_running)
        return;
    emit stopMarker(timeMarker(m_clock.now()));
    m_link.sendString(QLatin1String(protocol::kMachineModeOff));
    m_timer->stop();
    m_running = false;
}

void Poller::onTimeout()
{
    tick();
    // Re-armed only while polling still runs and nobody restarted it during
    // the tick (a time-out or a disconnect stops it).
    if (!m_running || m_timer->isActive())
        return;
    const qint64 next = nextTickDue(m_dueMs, m_grid.elapsed());
    if (const qint64 missed = (next - m_dueMs) / kPollInterval.count() - 1; missed > 0)
        emit ticksSkipped(static_cast<int>(missed));
    m_dueMs = next;
    const qint64 wait = std::max<qint64>(0, m_dueMs - m_grid.elapsed());
    m_timer->start(static_cast<int>(wait));
}

void Poller::tick()
{
    // One exchange slot for the whole program: a tick that falls due while a
    // user action (or another wait) holds it is skipped, not queued.
    if (m_link.busy()) {
        emit ticksSkipped(1);
        emit ticked();
        return;
    }
    {
        link::Link::BusyScope busy(m_link);
        m_inTick = true;
        ++m_ticks;
        emit indicatorColourChanged(ui::kLightGray);
        if (m_page)
            m_page->tick(m_link);
        if (starBlue(m_ticks))
            emit indicatorColourChanged(ui::kBlue);
        m_inTick = false;
    }
    emit tickRan();
    emit ticked();
}

} // namespace monitor
