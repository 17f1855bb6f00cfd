// Soak run: the real window polls every monitor tab in turn against the
// in-process simulator on loopback while the simulator's faults change at
// random (slow replies, replies in small pieces, invalid bytes, a silent
// controller, a dropped connection). The monitor reconnects whenever the link
// went down. At the end: exchanges, time-outs, reconnects, resident memory
// (after the first minute, peak, final) and the longest main-thread stall.
// It fails (exit status 1) when memory grew more than 5 % after the first
// minute, the main thread stalled more than 100 ms, or a reconnect failed.
//
//   soak --minutes N [--seed S]
#include "support/fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
// Starts polling as the Start button does.
void startPolling(MonitorFixture &f)
{
    monitor::Poller *poller = &f.window->poller();
    f.run([poller] { return poller->timerStart(); });
}
} // namespace

namespace {

// Resident memory in kilobytes from /proc/self/status: "VmRSS" now, "VmHWM"
// the peak so far; -1 where there is no such file (it is Linux's).
qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// "40.5 MB", or "n/a" for a figure that could not be read.
QByteArray megabytes(qint64 kb)
{
    if (kb < 0)
        return QByteArrayLiteral("n/a");
    return QByteArray::number(double(kb) / 1024.0, 'f', 1) + " MB";
}

sim::Options randomFaults(QRandomGenerator &rng)
{
    sim::Options o = MonitorFixture::makeOptions();
    const int delays[] = {0, 0, 0, 2, 20};
    o.delayMs = delays[rng.bounded(5)];
    const int chunks[] = {0, 0, 1, 3, 7};
    o.chunk = chunks[rng.bounded(5)];
    o.garbage = rng.bounded(4) == 0;
    switch (rng.bounded(8)) {
    case 0:
        o.stallAfter = rng.bounded(1, 40); // silent: the wait times out
        break;
    case 1:
        o.dropAfter = rng.bounded(1, 40); // the controller hangs up
        break;
    default:
        break;
    }
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "quorin.*=false");
    QApplication app(argc, argv);

    double minutes = 30;
    quint32 seed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--minutes") == 0)
            minutes = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--seed") == 0)
            seed = static_cast<quint32>(std::atol(argv[i + 1]));
    }
    QRandomGenerator rng(seed);

    MonitorFixture f;
    wire::setTraceSink([](const QString &) {}); // keep the trace out of the figures
    // A short time-out so that a silent controller costs seconds, not half a minute.
    f.timeoutField()->setText(QStringLiteral("2"));
    if (!f.connectToSim()) {
        std::printf("soak: could not connect to the simulator\n");
        return 1;
    }

    constexpr double kMaxStallMs = 100;
    qint64 exchanges = 0;
    int reconnects = 0;
    int failedReconnects = 0;
    int faultChanges = 0;
    qint64 rssAfterMinuteKb = -1;
    double worstStallMs = 0;     // with every reply in time
    double worstWaitStallMs = 0; // inside a wait for a reply over 2 s late

    QElapsedTimer clock;
    clock.start();
    const qint64 endMs = static_cast<qint64>(minutes * 60'000.0);

    const auto timeouts = [&] {
        int n = 0;
        for (const auto &e : f.dialogs.entries) {
            if (e.kind == QLatin1String("alert") && e.text.startsWith(QStringLiteral("Receive Timeout")))
                ++n;
        }
        return n;
    };

    // The stall probe: a 10 ms timer on the main thread; any gap beyond its
    // period is time in which the window could not have answered the user.
    // A gap that ends while a reply is awaited is counted apart as well (no
    // wait holds the window any more: both should stay small).
    qint64 lastBeat = clock.elapsed();
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        const double gap = double(now - lastBeat - 10);
        double &worst = f.link().waiting() ? worstWaitStallMs : worstStallMs;
        worst = std::max(worst, gap);
        lastBeat = now;
    });
    heartbeat.start(10);

    // Each command line the simulator received is one exchange; the record is
    // emptied as it is counted so that it does not grow.
    const auto countExchanges = [&] {
        exchanges += f.sim->commands().size();
        f.sim->clearReceived();
    };

    const QStringList tabs = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                              QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")};
    int tab = 0;
    qint64 nextTabMs = 0;
    qint64 nextFaultMs = 5'000;
    f.selectTab(tabs.at(tab));
    startPolling(f);

    while (clock.elapsed() < endMs) {
        f.waitFor([] { return false; }, 200);
        countExchanges();
        const qint64 now = clock.elapsed();
        if (rssAfterMinuteKb < 0 && now >= 60'000)
            rssAfterMinuteKb = statusKb("VmRSS");
        if (now >= nextFaultMs) {
            f.sim->setOptions(randomFaults(rng));
            ++faultChanges;
            nextFaultMs = now + 5'000;
        }
        if (!wire::isUp(f.link().state())) {
            // A time-out or a dropped link: reconnect without faults, as a
            // user would once the controller is back.
            f.sim->setOptions(MonitorFixture::makeOptions());
            ++reconnects;
            if (!f.connectToSim()) {
                ++failedReconnects;
                continue;
            }
            f.selectTab(tabs.at(tab));
            startPolling(f);
        }
        if (now >= nextTabMs) {
            tab = (tab + 1) % tabs.size();
            f.selectTab(tabs.at(tab));
            nextTabMs = now + 10'000;
        }
    }
    f.window->poller().timerStop();
    countExchanges();

    const double seconds = double(clock.elapsed()) / 1000.0;
    std::printf("soak: %.1f min, %d fault changes\n", seconds / 60.0, faultChanges);
    std::printf("exchanges: %lld (%.0f/s)\n", static_cast<long long>(exchanges), double(exchanges) / seconds);
    std::printf("time-outs: %d\n", timeouts());
    std::printf("reconnects: %d (%d failed)\n", reconnects, failedReconnects);
    std::printf("resident memory: after 1 min %s, peak %s, final %s\n",
                megabytes(rssAfterMinuteKb).constData(), megabytes(statusKb("VmHWM")).constData(),
                megabytes(statusKb("VmRSS")).constData());
    std::printf("largest main-thread stall: %.0f ms; %.0f ms inside a wait for a late reply (time-out 2 s)\n",
                worstStallMs, worstWaitStallMs);
    // What the run must show: the memory settled after the first minute, the
    // window never held up, and the link came back every time.
    bool ok = true;
    const qint64 finalKb = statusKb("VmRSS");
    if (rssAfterMinuteKb > 0 && finalKb > rssAfterMinuteKb + rssAfterMinuteKb / 20) {
        std::printf("FAILED: resident memory grew %.1f %% after the first minute (at most 5 %%)\n",
                    100.0 * double(finalKb - rssAfterMinuteKb) / double(rssAfterMinuteKb));
        ok = false;
    }
    if (std::max(worstStallMs, worstWaitStallMs) > kMaxStallMs) {
        std::printf("FAILED: the main thread stalled %.0f ms (at most %.0f ms)\n",
                    std::max(worstStallMs, worstWaitStallMs), kMaxStallMs);
        ok = false;
    }
    if (failedReconnects > 0) {
        std::printf("FAILED: %d reconnects failed\n", failedReconnects);
        ok = false;
    }
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
