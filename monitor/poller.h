// The polling engine: "CMD$" on start, a 0.3 s tick on a fixed grid that
// reads the selected page, the time marker and "CMD$ 0" on stop. It knows no
// widgets; what it shows (the activity star, the console marker, the status
// line) goes out through its signals, which the window wires.
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class Clock;
class QTimer;

namespace link {
class Link;
}
namespace ui {
class Page;
}

namespace monitor {

class Poller : public QObject
{
    Q_OBJECT

public:
    Poller(link::Link &link, Clock &clock, QObject *parent = nullptr);
    ~Poller() override;

    // Starts polling: tells the controller ("CMD$") and ticks every 0.3 s.
    // Does nothing without a connection; a running poll starts over.
    void timerStart();
    // Stops polling: writes the time marker to the console and says
    // "CMD$ 0". The star goes away even when nothing was running.
    void timerStop();

    // The page the ticks read: the selected tab's, nothing for a tab that
    // polls nothing.
    void setPage(ui::Page *page);

    bool isRunning() const { return m_running; }
    // True while a tick reads the page: what goes to the controller then is
    // poll traffic.
    bool inTick() const { return m_inTick; }
    // Ticks run since the last start (skipped ones not counted).
    qint64 ticks() const { return m_ticks; }

    // One tick now, as the timer runs it: skipped while another exchange
    // holds the link.
    void tick();

signals:
    void statusCleared();
    void indicatorShown(const QString &text);
    void indicatorHidden();
    void indicatorColourChanged(const QColor &colour);
    // The line that closes a stretch of polling in the console.
    void stopMarker(const QString &text);
    // A tick (run or skipped) has ended.
    void ticked();
    // A tick read the page.
    void tickRan();
    // `count` ticks fell due and did not run: the slot was busy, or a long
    // tick ran over their grid times.
    void ticksSkipped(int count);

private:
    void onTimeout();

    link::Link &m_link;
    Clock &m_clock;
    QPointer<ui::Page> m_page;
    // Single-shot and re-armed after each tick, so ticks stay on the grid
    // counted from timerStart and a long tick skips the due times it ran
    // over. m_dueMs is the grid time of the tick the timer is armed for.
    QTimer *m_timer = nullptr;
    QElapsedTimer m_grid;
    qint64 m_dueMs = 0;
    bool m_running = false;
    bool m_inTick = false;
    qint64 m_ticks = 0;
};

} // namespace monitor
