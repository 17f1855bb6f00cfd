#include "ui/freshness.h"

#include "core/clock.h"

#include <QGraphicsOpacityEffect>
#include <QTimer>
#include <QWidget>

namespace ui {

namespace {
constexpr qreal kStaleOpacity = 0.35;
}

Freshness::Freshness(Clock &clock, QWidget *window)
    : QObject(window), m_clock(clock), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("freshness"));
    m_baseMs = m_clock.now().toMSecsSinceEpoch();
    m_sinceBase.start();
    m_timer->setInterval(kReviewInterval);
    connect(m_timer, &QTimer::timeout, this, &Freshness::review);
}

Freshness::~Freshness() = default;

Freshness *Freshness::of(const QWidget *widget)
{
    if (!widget)
        return nullptr;
    // Every tick asks, always for the same window: the last answer is kept
    // (guarded, so a window that went is never taken for a new one).
    static QPointer<QWidget> lastWindow;
    static QPointer<Freshness> lastTracker;
    QWidget *window = widget->window();
    if (window == lastWindow && lastTracker)
        return lastTracker;
    Freshness *f = window->findChild<Freshness *>(QString(), Qt::FindDirectChildrenOnly);
    if (f) {
        lastWindow = window;
        lastTracker = f;
    }
    return f;
}

void Freshness::confirm(std::initializer_list<QWidget *> widgets)
{
    Freshness *f = widgets.size() ? of(*widgets.begin()) : nullptr;
    if (!f)
        return;
    const qint64 now = f->nowMs();
    for (QWidget *w : widgets)
        f->mark(w, now);
}

qint64 Freshness::nowMs() const
{
    return m_baseMs + m_sinceBase.elapsed();
}

void Freshness::mark(QWidget *widget, qint64 atMs)
{
    auto it = m_entries.find(widget);
    if (it == m_entries.end()) {
        it = m_entries.insert(widget, Entry());
        connect(widget, &QObject::destroyed, this, [this, widget] { m_entries.remove(widget); });
    }
    it->atMs = atMs;
    it->connection = m_connection;
    // Live again at once, not at the next review: a reply that arrives after
    // a stall is seen as soon as it is shown. Ticks on a live link only
    // update the time.
    if (it->stale && m_linkUp) {
        apply(widget, *it, false);
        emit changed();
    }
}

void Freshness::setLinkUp(bool up)
{
    if (up == m_linkUp)
        return;
    m_linkUp = up;
    if (up) {
        // What was read before is no reading of this connection, however
        // recent: it stays stale until read again.
        ++m_connection;
        m_timer->start();
    } else {
        m_timer->stop();
    }
    review();
}

void Freshness::review()
{
    // The computer's clock set back (by hand, or by a time sync): the values
    // keep the ages the steady clock gave them, so one that nothing confirms
    // still dims a second on, not once the clock has caught up again. A
    // clock that slews, or stands still a while, moves nothing.
    const qint64 wallMs = m_clock.now().toMSecsSinceEpoch();
    if (const qint64 back = nowMs() - wallMs; back > kClockSetBack.count()) {
        for (Entry &entry : m_entries)
            entry.atMs -= back;
    }
    m_baseMs = wallMs;
    m_sinceBase.restart();
    const qint64 limit = m_baseMs - kStaleAfter.count();
    bool any = false;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        const bool stale = !m_linkUp || it->connection != m_connection || it->atMs < limit;
        if (stale != it->stale) {
            apply(it.key(), *it, stale);
            any = true;
        }
    }
    if (any)
        emit changed();
}

void Freshness::apply(QWidget *widget, Entry &entry, bool stale)
{
    entry.stale = stale;
    if (stale) {
        entry.ownToolTip = widget->toolTip();
        auto *dim = new QGraphicsOpacityEffect;
        dim->setOpacity(kStaleOpacity);
        widget->setGraphicsEffect(dim);
        widget->setToolTip(staleToolTip(QDateTime::fromMSecsSinceEpoch(entry.atMs)));
    } else {
        widget->setGraphicsEffect(nullptr);
        widget->setToolTip(entry.ownToolTip);
    }
}

bool Freshness::isStale(const QWidget *widget) const
{
    const auto it = m_entries.constFind(const_cast<QWidget *>(widget));
    return it != m_entries.cend() && it->stale;
}

QDateTime Freshness::lastConfirmed(const QWidget *widget) const
{
    const auto it = m_entries.constFind(const_cast<QWidget *>(widget));
    return it == m_entries.cend() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(it->atMs);
}

QString Freshness::staleToolTip(const QDateTime &when)
{
    return QStringLiteral("last read ") + when.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace ui
