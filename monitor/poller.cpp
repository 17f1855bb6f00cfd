#include "monitor/poller.h"

#include "core/clock.h"
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

Poller::Poller(wire::Link &link, Clock &clock, QObject *parent)
    : QObject(parent), m_link(link), m_clock(clock), m_timer(new QTimer(this))
{
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &Poller::onTimeout);
    // Polling ends with the connection. Closing still has the socket: the
    // stop says its goodbye before the link says its own. A connection
    // dropped at once (no Closing) has nobody left to tell.
    connect(&m_link, &wire::Link::stateChanged, this, [this](wire::State state, wire::Reason) {
        if (state == wire::State::Closing) {
            timerStop();
        } else if (state == wire::State::Disconnected && m_running) {
            emit indicatorHidden();
            m_timer->stop();
            m_running = false;
        }
    });
}

Poller::~Poller() = default;

void Poller::setPage(ui::Page *page)
{
    m_page = page;
}

ui::Page *Poller::page() const
{
    return m_page;
}

void Poller::addTickStep(std::function<QCoro::Task<>(ui::Page *page)> step)
{
    m_steps.push_back(std::move(step));
}

QCoro::Task<> Poller::timerStart()
{
    if (!wire::isUp(m_link.state()))
        co_return;
    m_timer->stop();
    m_running = false;
    emit statusCleared();
    emit indicatorShown(kStar);
    const quint64 generation = m_link.generation();
    const std::optional<QString> reply =
        co_await m_link.exchange(QLatin1String(protocol::kMachineModeWord), wire::kInPlace);
    Q_UNUSED(reply);
    // A time-out or a disconnect during that wait closed the link; a timer
    // started now would only tick on without a connection.
    if (!wire::isUp(m_link.state()) || m_link.generation() != generation)
        co_return;
    m_ticks = 0;
    m_running = true;
    m_grid.start();
    m_dueMs = kPollInterval.count();
    m_timer->start(kPollInterval);
}

void Poller::timerStop()
{
    qCInfo(lcPoller) << "stop polling";
    emit indicatorHidden();
    if (!m_running)
        return;
    emit stopMarker(timeMarker(m_clock.now()));
    m_timer->stop();
    m_running = false;
    if (m_link.state() == wire::State::Closing) {
        // The link's own goodbye follows at once and waits for what comes back.
        m_link.sendString(QLatin1String(protocol::kMachineModeOff));
        return;
    }
    // Through the exchange slot and waited for: the prompt it brings back
    // must not be taken for the answer to whatever is sent next.
    m_link.enqueue([this]() -> QCoro::Task<> {
        const std::optional<QString> reply =
            co_await m_link.exchange(QLatin1String(protocol::kMachineModeOff), wire::kInPlace);
        Q_UNUSED(reply);
    });
}

void Poller::onTimeout()
{
    // A tick that runs re-arms the timer when it ends; a skipped one at once.
    if (!startTick(true))
        rearm();
}

void Poller::rearm()
{
    // Only while polling still runs and nobody restarted it during the tick
    // (a time-out or a disconnect stops it).
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
    startTick(false);
}

bool Poller::startTick(bool fromTimer)
{
    // One exchange slot for the whole program: a tick that falls due while a
    // user action (or another wait) holds it is skipped, not queued.
    const bool queued =
        m_link.enqueue([this, fromTimer] { return runTick(fromTimer); }, wire::Link::IfBusy::Skip);
    if (!queued) {
        emit ticksSkipped(1);
        emit ticked();
    }
    return queued;
}

QCoro::Task<> Poller::runTick(bool fromTimer)
{
    m_inTick = true;
    m_link.setReadingInPlace(true);
    ++m_ticks;
    emit indicatorColourChanged(ui::kLightGray);
    const QPointer<ui::Page> page = m_page;
    if (page) {
        QCoro::Task<> read = page->tick(m_link);
        co_await read;
    }
    // By index: a step added meanwhile runs from the next tick on.
    const size_t steps = m_steps.size();
    for (size_t i = 0; i < steps && i < m_steps.size(); ++i) {
        QCoro::Task<> step = m_steps[i](page.data());
        co_await step;
    }
    if (starBlue(m_ticks))
        emit indicatorColourChanged(ui::kBlue);
    m_inTick = false;
    m_link.setReadingInPlace(false);
    emit tickRan();
    emit ticked();
    if (fromTimer)
        rearm();
}

} // namespace monitor
