// How old each value on the monitor pages is. A page marks the widgets it has
// just set from a controller reply (Freshness::confirm); a value not confirmed
// for more than a second, or any value while the link is down, is drawn
// stale: dimmed, with a tooltip that says when it was last read. The next
// confirmation makes it live again.
//
// One tracker per window, a child of it; confirm() finds it through the
// widget's window, so pages need no reference to it, and pages shown outside
// a window (tests of a single page) simply keep no record.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>
#include <chrono>
#include <initializer_list>
#include <iterator>

class Clock;
class QTimer;
class QWidget;

namespace ui {

class Freshness : public QObject
{
    Q_OBJECT

public:
    // Three poll ticks.
    static constexpr std::chrono::milliseconds kStaleAfter{1000};
    // How often ages are looked at again.
    static constexpr std::chrono::milliseconds kReviewInterval{250};
    // A step back of the computer's clock larger than this is a clock set back.
    static constexpr std::chrono::milliseconds kClockSetBack{10000};

    // Becomes a child of `window`; `clock` gives the time of day.
    Freshness(Clock &clock, QWidget *window);
    ~Freshness() override;

    // The widgets were just set from a reply.
    static void confirm(std::initializer_list<QWidget *> widgets);
    // The same for a range of widget pointers (an array of lamps...).
    template <typename Range> static void confirm(const Range &widgets)
    {
        auto it = std::begin(widgets);
        if (it == std::end(widgets))
            return;
        if (Freshness *f = of(*it)) {
            const qint64 now = f->nowMs();
            for (QWidget *w : widgets)
                f->mark(w, now);
        }
    }
    // The tracker of the window `widget` is in, or null.
    static Freshness *of(const QWidget *widget);

    // While the link is down every value is stale.
    void setLinkUp(bool up);
    bool linkUp() const { return m_linkUp; }
    // Looks at every age now (the timer does so every kReviewInterval).
    void review();

    bool isStale(const QWidget *widget) const;
    // When `widget` was last confirmed; invalid when never.
    QDateTime lastConfirmed(const QWidget *widget) const;
    // "last read 14:03:07".
    static QString staleToolTip(const QDateTime &when);

signals:
    // Some values turned stale or live.
    void changed();

private:
    struct Entry
    {
        qint64 atMs = 0;
        // The connection it was read on (counted by the link coming up).
        quint64 connection = 0;
        bool stale = false;
        QString ownToolTip;
    };
    qint64 nowMs() const;
    void mark(QWidget *widget, qint64 atMs);
    void apply(QWidget *widget, Entry &entry, bool stale);

    Clock &m_clock;
    QTimer *m_timer = nullptr;
    // The time of day is taken from the clock at each review and carried
    // forward by a monotonic timer in between: a confirmation costs no clock
    // call.
    qint64 m_baseMs = 0;
    QElapsedTimer m_sinceBase;
    bool m_linkUp = false;
    quint64 m_connection = 0;
    QHash<QWidget *, Entry> m_entries;
};

} // namespace ui
