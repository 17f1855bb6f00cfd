// The polling engine: "CMD$" on start, a 0.3 s tick on a fixed grid that
// reads the selected page, the time marker and "CMD$ 0" on stop. It knows no
// widgets; what it shows (the activity star, the console marker, the status
// line) goes out through its signals, which the window wires.
#pragma once

#include <QColor>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class Clock;
class QTimer;

namespace wire {
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
    Poller(wire::Link &link, Clock &clock, QObject *parent = nullptr);
    ~Poller() override;

    // Starts polling: tells the controller ("CMD$") and ticks every 0.3 s.
    // Does nothing without a connection; a running poll starts over. Runs
    // inside the exchange slot (an action given to the link's queue).
    QCoro::Task<> timerStart();
    // Stops polling: writes the time marker to the console and says
    // "CMD$ 0", both only when polling was running. The star goes away even
    // when nothing was running. The link going down stops polling too.
    void timerStop();

    // The page the ticks read: the selected tab's, nothing for a tab that
    // polls nothing.
    void setPage(ui::Page *page);
    ui::Page *page() const;

    bool isRunning() const { return m_running; }
    // True while a tick reads the page: what goes to the controller then is
    // poll traffic.
    bool inTick() const { return m_inTick; }
    // Ticks run since the last start (skipped ones not counted).
    qint64 ticks() const { return m_ticks; }

    // One tick now, as the timer runs it: skipped while another exchange
    // holds the link. The tick runs on in the exchange slot after this
    // returns; ticked() tells when it has ended.
    void tick();

    // Something more a tick does after the page's reads, inside the same
    // tick (the slot still held), in the order added. `page` is the page the
    // tick read, nullptr when none.
    void addTickStep(std::function<QCoro::Task<>(ui::Page *page)> step);

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
    // Starts one tick in the exchange slot unless it is busy; false when
    // skipped.
    bool startTick(bool fromTimer);
    QCoro::Task<> runTick(bool fromTimer);
    // Arms the timer for the next grid time after now, counting the grid
    // times a long tick ran over as skipped.
    void rearm();

    wire::Link &m_link;
    Clock &m_clock;
    QPointer<ui::Page> m_page;
    std::vector<std::function<QCoro::Task<>(ui::Page *)>> m_steps;
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
