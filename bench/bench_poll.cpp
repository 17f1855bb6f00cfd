// The I/O tab's poll tick against its physical bound, side by side in one run
// against the in-process simulator on loopback: one tick (outputs, inputs and
// relays: three exchanges plus the displays) vs. three raw blocking-socket
// round trips of the same commands, once with the simulator answering at once
// and once with every reply delayed by 5 ms; then the period of the running
// poll timer.
#include "monitor/iopage.h"
#include "monitor/poller.h"
#include "rawclient.h"
#include "support/fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

sim::Options withDelay(int delayMs)
{
    sim::Options o = MonitorFixture::makeOptions();
    o.delayMs = delayMs;
    return o;
}

// Median tick, median of the same three exchanges without any display or
// tick bookkeeping, and median bound, in microseconds, measured in
// alternating batches so that all see the same machine conditions.
bool tickVersusBound(int delayMs, int rounds, double *tickUs, double *bareUs, double *boundUs)
{
    MonitorFixture f(withDelay(delayMs));
    if (!f.connectToSim())
        return false;
    RawClient raw;
    if (!raw.open(f.sim->port()))
        return false;
    f.sim->setRecording(false);
    // The tick reads the I/O page; no timer runs, the bench calls it.
    f.window->poller().setPage(f.window->findChild<monitor::IoPage *>());

    const int batches = 10;
    const int perBatch = std::max(1, rounds / batches);
    std::vector<double> ticks;
    std::vector<double> bares;
    std::vector<double> bounds;
    for (int b = 0; b < batches; ++b) {
        for (int i = 0; i < perBatch; ++i) {
            QElapsedTimer t;
            t.start();
            f.window->poller().tick();
            ticks.push_back(double(t.nsecsElapsed()) / 1000.0);
            // Between real ticks the event loop runs; its work (the queued
            // display of what arrived) is not part of the tick.
            QCoreApplication::processEvents();
        }
        for (int i = 0; i < perBatch; ++i) {
            QElapsedTimer t;
            t.start();
            for (const char *cmd : {"PR IN(0)", "PR IN(24)", "PR IN(-1)"}) {
                f.link().state().setWaitPrompt(true);
                f.link().sendString(QString::fromLatin1(cmd));
                f.link().receivePrompt();
            }
            bares.push_back(double(t.nsecsElapsed()) / 1000.0);
            QCoreApplication::processEvents();
        }
        for (int i = 0; i < perBatch; ++i) {
            QElapsedTimer t;
            t.start();
            if (!raw.roundTrip("PR IN(0)") || !raw.roundTrip("PR IN(24)") || !raw.roundTrip("PR IN(-1)"))
                return false;
            bounds.push_back(double(t.nsecsElapsed()) / 1000.0);
        }
    }
    *tickUs = median(ticks);
    *bareUs = median(bares);
    *boundUs = median(bounds);
    return true;
}

// The running timer on the I/O tab: mean period between tick ends and the
// largest distance of a tick end from the 0.3 s grid, in milliseconds.
bool tickPeriod(int delayMs, int ticks, double *periodMs, double *worstOffGridMs)
{
    MonitorFixture f(withDelay(delayMs));
    if (!f.connectToSim())
        return false;
    f.sim->setRecording(false);
    f.window->poller().setPage(f.window->findChild<monitor::IoPage *>());
    f.window->poller().timerStart();
    if (!f.window->poller().isRunning())
        return false;
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> ends;
    QEventLoop loop;
    QObject::connect(&f.window->poller(), &monitor::Poller::ticked, &loop, [&] {
        ends.push_back(clock.nsecsElapsed());
        if (static_cast<int>(ends.size()) >= ticks)
            loop.quit();
    });
    QTimer::singleShot(ticks * 300 + 5000, &loop, &QEventLoop::quit);
    loop.exec();
    f.window->poller().timerStop();
    if (static_cast<int>(ends.size()) < ticks)
        return false;
    *periodMs = double(ends.back() - ends.front()) / 1e6 / double(ends.size() - 1);
    // Tick ends drift from the grid by the tick's own length at most (plus
    // timer latency); a lost or late-fired tick would show a whole period.
    double worst = 0;
    for (size_t i = 1; i < ends.size(); ++i) {
        const double gap = double(ends[i] - ends[i - 1]) / 1e6;
        worst = std::max(worst, std::abs(gap - 300.0));
    }
    *worstOffGridMs = worst;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    struct Case
    {
        const char *name;
        int delayMs;
        int rounds;
    };
    const Case cases[] = {{"no delay", 0, 2000}, {"delay 5 ms", 5, 200}};
    for (const Case &c : cases) {
        double tick = 0;
        double bare = 0;
        double bound = 0;
        if (!tickVersusBound(c.delayMs, c.rounds, &tick, &bare, &bound)) {
            std::printf("poll tick / 3 raw round trips (%s): failed\n", c.name);
            return 1;
        }
        std::printf(
            "poll tick / 3 raw round trips (%s): %.2f (tick %.1f us, bound %.1f us; target <= 1.30)\n",
            c.name, tick / bound, tick, bound);
        std::printf("3 bare exchanges / 3 raw round trips (%s): %.2f (%.1f us)\n", c.name, bare / bound,
                    bare);
    }
    for (const Case &c : cases) {
        double period = 0;
        double worst = 0;
        if (!tickPeriod(c.delayMs, 11, &period, &worst)) {
            std::printf("poll tick period (%s): failed\n", c.name);
            return 1;
        }
        std::printf("poll tick period (%s): %.3f s (target 0.300 s), largest gap off 0.3 s: %.1f ms\n",
                    c.name, period / 1000.0, worst);
    }
    return 0;
}
