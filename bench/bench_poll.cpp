// The I/O tab's poll tick against its physical bound, side by side in one run
// against the in-process simulator on loopback: one tick (outputs, inputs and
// relays: three exchanges plus the displays) vs. three raw blocking-socket
// round trips of the same commands, once with the simulator answering at once
// and once with every reply delayed by 5 ms; the same tick with eight plotted
// values that each need a read of their own (the trend's worst case) against
// the round trips of all eleven commands; the trend chart's redraw with eight
// full hours of samples, beside the same lines drawn as Qt Charts line
// series; then the period of the running poll timer.
#include "journal/sessionjournal.h"
#include "monitor/axissignals.h"
#include "monitor/bits.h"
#include "monitor/iopage.h"
#include "monitor/poller.h"
#include "panels/mbk.h"
#include "panels/tasks.h"
#include "panels/variables.h"
#include "rawclient.h"
#include "support/fixture.h"
#include "trend/trenddock.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One tick as the timer runs it, until its end.
void tickAndWait(monitor::Poller &poller)
{
    bool done = false;
    QEventLoop loop;
    const auto c = QObject::connect(&poller, &monitor::Poller::ticked, &loop, [&] {
        done = true;
        loop.quit();
    });
    poller.tick();
    if (!done)
        loop.exec();
    QObject::disconnect(c);
}

// The exchanges alone, one after the other in the exchange slot.
bool exchangeAll(MonitorFixture &f, const QStringList &commands)
{
    bool ok = true;
    bool done = false;
    QEventLoop loop;
    wire::Link &link = f.link();
    link.enqueue([&]() -> QCoro::Task<> {
        for (const QString &cmd : commands) {
            const std::optional<QString> reply = co_await link.exchange(cmd);
            ok = ok && reply.has_value();
        }
        done = true;
        loop.quit();
    });
    if (!done)
        loop.exec();
    return ok;
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
// Eight values plotted from other tabs, one read each: the most extra
// exchanges a tick can carry. Returns the commands of those reads.
QStringList plotEight(MonitorFixture &f)
{
    auto *dock = f.window->findChild<trend::TrendDock *>();
    dock->addSeries(*panels::variableProbe(QStringLiteral("A")));
    dock->addSeries(*panels::variableProbe(QStringLiteral("B")));
    dock->addSeries(*panels::mbkProbe(QStringLiteral("0"), panels::MbkSize::Int));
    dock->addSeries(*panels::mbkProbe(QStringLiteral("1"), panels::MbkSize::Int));
    dock->addSeries(*panels::taskProbe(QStringLiteral("0")));
    dock->addSeries(monitor::axisProbe(false, 0));
    dock->addSeries(*monitor::bitProbe(monitor::BitGroup::CuOutputs, QStringLiteral("2000"), 0));
    dock->addSeries(*monitor::bitProbe(monitor::BitGroup::MbkBits, QStringLiteral("70000"), 0));
    QStringList reads;
    for (int i = 0; i < dock->seriesCount(); ++i)
        reads << dock->probe(i).command;
    return reads;
}

bool tickVersusBound(int delayMs, int rounds, double *tickUs, double *bareUs, double *boundUs,
                     bool plotted = false)
{
    MonitorFixture f(withDelay(delayMs));
    if (!f.connectToSim())
        return false;
    RawClient raw;
    if (!raw.open(f.sim->port()))
        return false;
    f.sim->setRecording(false);
    QStringList commands = {"PR IN(0)", "PR IN(24)", "PR IN(-1)"};
    if (plotted) {
        commands += plotEight(f);
    }
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
            tickAndWait(f.window->poller());
            ticks.push_back(double(t.nsecsElapsed()) / 1000.0);
            // Between real ticks the event loop runs; its work (the queued
            // display of what arrived) is not part of the tick.
            QCoreApplication::processEvents();
        }
        for (int i = 0; i < perBatch; ++i) {
            QElapsedTimer t;
            t.start();
            exchangeAll(f, commands);
            bares.push_back(double(t.nsecsElapsed()) / 1000.0);
            QCoreApplication::processEvents();
        }
        for (int i = 0; i < perBatch; ++i) {
            QElapsedTimer t;
            t.start();
            for (const QString &cmd : commands) {
                if (!raw.roundTrip(cmd.toLatin1().constData()))
                    return false;
            }
            bounds.push_back(double(t.nsecsElapsed()) / 1000.0);
        }
    }
    *tickUs = median(ticks);
    *bareUs = median(bares);
    *boundUs = median(bounds);
    return true;
}

// CPU time of the calling thread, in microseconds; 0 where the system has
// no such clock.
double threadCpuUs()
{
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
#else
    return 0;
#endif
}

// The session transcript's share of the I/O tab's tick: ticks with the
// recording on and off in alternating batches, medians of the tick's wall
// time and of the main thread's CPU time in it, in microseconds.
struct JournalCost
{
    double onUs = 0;
    double offUs = 0;
    double onCpuUs = 0;
    double offCpuUs = 0;
};

bool journalCost(int rounds, JournalCost *out)
{
    MonitorFixture f;
    if (!f.connectToSim())
        return false;
    f.sim->setRecording(false);
    auto *journal = f.window->findChild<journal::SessionJournal *>();
    if (!journal)
        return false;
    f.window->poller().setPage(f.window->findChild<monitor::IoPage *>());
    const int batches = 10;
    const int perBatch = std::max(1, rounds / batches);
    std::vector<double> wall[2];
    std::vector<double> cpu[2];
    for (int b = 0; b < batches; ++b) {
        for (const int on : {1, 0}) {
            journal->setEnabled(on != 0);
            if (on)
                journal->beginSession(QDateTime::currentDateTime(), QStringLiteral("127.0.0.1"));
            for (int i = 0; i < perBatch; ++i) {
                QElapsedTimer t;
                t.start();
                const double c = threadCpuUs();
                tickAndWait(f.window->poller());
                cpu[on].push_back(threadCpuUs() - c);
                wall[on].push_back(double(t.nsecsElapsed()) / 1000.0);
                QCoreApplication::processEvents();
            }
        }
    }
    out->onUs = median(wall[1]);
    out->offUs = median(wall[0]);
    out->onCpuUs = median(cpu[1]);
    out->offCpuUs = median(cpu[0]);
    return true;
}

// The trend chart with eight series holding an hour of samples each (the
// dock shown in the window, offscreen). Per tick: one new sample a series,
// what the dock does with it, and the chart view's repaint; "redraw" is the
// dock's own work plus the chart's paint event, "tick" all the event
// processing until the next tick. Side by side, the same reduced lines handed
// to Qt Charts' own line series in a chart view of the same size, and both
// drawn whole into an image. Milliseconds.
struct Redraw
{
    struct Figures
    {
        double worstRedraw = 0;
        double meanRedraw = 0;
        double worstTick = 0;
        double meanTick = 0;
        double fullRender = 0; // median: everything laid out again and drawn into an image
    };
    Figures dock;
    Figures series;
};

// The former way of drawing the lines, for comparison: one QLineSeries a
// plotted value, 1.5 px wide, on axes like the dock's.
struct SeriesChart
{
    explicit SeriesChart(QSize size)
    {
        chart = new QChart;
        chart->legend()->hide();
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (int k = 0; k < 8; ++k) {
            auto *line = new QLineSeries;
            QPen pen(QColor::fromHsv(k * 40, 200, 200));
            pen.setWidthF(1.5);
            line->setPen(pen);
            chart->addSeries(line);
            line->attachAxis(x);
            line->attachAxis(y);
            lines.push_back(line);
        }
        view = new QChartView(chart);
        view->setRenderHint(QPainter::Antialiasing, false);
        view->resize(size);
        view->show();
    }
    ~SeriesChart() { delete view; }
    void show(const std::vector<QList<QPointF>> &points, qint64 from, qint64 to)
    {
        double lo = 1e300;
        double hi = -1e300;
        for (const auto &line : points) {
            for (const QPointF &p : line) {
                lo = std::min(lo, p.y());
                hi = std::max(hi, p.y());
            }
        }
        for (QLineSeries *line : lines)
            line->clear();
        y->setRange(lo, hi);
        y->applyNiceNumbers();
        x->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
        for (size_t k = 0; k < lines.size() && k < points.size(); ++k)
            lines[k]->replace(points[k]);
    }
    QChart *chart = nullptr;
    QChartView *view = nullptr;
    QDateTimeAxis *x = new QDateTimeAxis;
    QValueAxis *y = new QValueAxis;
    std::vector<QLineSeries *> lines;
};

// Times the paint events a widget receives.
class PaintTimer : public QObject
{
public:
    double totalMs = 0;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() != QEvent::Paint)
            return false;
        QElapsedTimer t;
        t.start();
        static_cast<QWidget *>(o)->removeEventFilter(this);
        QCoreApplication::sendEvent(o, e);
        o->installEventFilter(this);
        totalMs += double(t.nsecsElapsed()) / 1e6;
        return true;
    }
};

bool chartRedraw(int ticks, int width, Redraw *out, int *columnsOut)
{
    MonitorFixture f;
    auto *dock = f.window->findChild<trend::TrendDock *>();
    plotEight(f);
    f.window->resize(1600, 900);
    if (width > 0) {
        dock->setFloating(true);
        dock->resize(width, 700);
    }
    QCoreApplication::processEvents();
    qint64 t = 0;
    const auto sampleSet = [&t] {
        std::vector<std::optional<double>> v(8);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = std::sin(double(t) / 20000.0 + double(i)) * 1000.0 * double(i + 1) + double((t / 300) % 7);
        t += 300;
        return v;
    };
    for (int i = 0; i < trend::Series::kCapacity; ++i)
        dock->record(t, sampleSet());
    dock->setWindow(2); // the hour: every sample is in view
    dock->redraw();

    SeriesChart other(dock->chartView()->size());
    const int columns = int(dock->chartView()->chart()->plotArea().width());
    *columnsOut = columns;
    std::vector<QList<QPointF>> reduced(8);
    const auto seriesTick = [&] {
        for (int k = 0; k < dock->seriesCount(); ++k)
            trend::reduce(dock->samples(k), t - 300 - 3'600'000, t - 300, columns, &reduced[size_t(k)]);
        other.show(reduced, t - 300 - 3'600'000, t - 300);
    };
    seriesTick();
    PaintTimer dockPaint;
    PaintTimer seriesPaint;
    dock->chartView()->viewport()->installEventFilter(&dockPaint);
    other.view->viewport()->installEventFilter(&seriesPaint);

    // Alternating: a tick of the dock, then the same tick done with line
    // series (a new sample, the lines reduced and laid out again, repaint).
    // The first ten ticks settle the window and are not counted.
    const auto measure = [](Redraw::Figures &fig, PaintTimer &paint, int i, const auto &work) {
        QElapsedTimer timer;
        timer.start();
        work();
        const double own = double(timer.nsecsElapsed()) / 1e6;
        paint.totalMs = 0;
        QCoreApplication::processEvents();
        const double tick = double(timer.nsecsElapsed()) / 1e6;
        if (i < 10)
            return;
        fig.worstRedraw = std::max(fig.worstRedraw, own + paint.totalMs);
        fig.meanRedraw += own + paint.totalMs;
        fig.worstTick = std::max(fig.worstTick, tick);
        fig.meanTick += tick;
    };
    for (int i = 0; i < ticks + 10; ++i) {
        measure(out->dock, dockPaint, i, [&] {
            dock->record(t, sampleSet());
            dock->refresh();
        });
        measure(out->series, seriesPaint, i, seriesTick);
    }
    for (Redraw::Figures *fig : {&out->dock, &out->series}) {
        fig->meanRedraw /= ticks;
        fig->meanTick /= ticks;
    }

    QImage image(dock->chartView()->size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> renders;
    std::vector<double> seriesRenders;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer timer;
        timer.start();
        dock->record(t, sampleSet());
        dock->redraw();
        image.fill(Qt::white);
        QPainter painter(&image);
        dock->chartView()->render(&painter);
        painter.end();
        renders.push_back(double(timer.nsecsElapsed()) / 1e6);

        timer.start();
        seriesTick();
        image.fill(Qt::white);
        painter.begin(&image);
        other.view->render(&painter);
        painter.end();
        seriesRenders.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    out->dock.fullRender = median(renders);
    out->series.fullRender = median(seriesRenders);
    return !image.isNull();
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
    monitor::Poller *poller = &f.window->poller();
    f.run([poller] { return poller->timerStart(); });
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
    // "bench_poll chart" runs only the chart case, "bench_poll tick" only the
    // plain tick without delay.
    const bool chartOnly = argc > 1 && qstrcmp(argv[1], "chart") == 0;
    const bool tickOnly = argc > 1 && qstrcmp(argv[1], "tick") == 0;
    const Case all[] = {{"no delay", 0, 2000}, {"delay 5 ms", 5, 200}};
    const std::vector<Case> cases(std::begin(all), std::end(all) - (tickOnly ? 1 : 0) - (chartOnly ? 2 : 0));
    const std::vector<Case> none;
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
    if (tickOnly) {
        JournalCost j;
        if (!journalCost(2000, &j)) {
            std::printf("poll tick with the session recorded: failed\n");
            return 1;
        }
        std::printf("poll tick, session recorded / not recorded: %.2f (%.1f us vs %.1f us); main thread's "
                    "CPU in the tick %.1f us vs %.1f us\n",
                    j.onUs / j.offUs, j.onUs, j.offUs, j.onCpuUs, j.offCpuUs);
    }
    for (const Case &c : tickOnly ? none : cases) {
        double tick = 0;
        double bare = 0;
        double bound = 0;
        if (!tickVersusBound(c.delayMs, c.rounds / 4, &tick, &bare, &bound, true)) {
            std::printf("poll tick + 8 plotted / 11 raw round trips (%s): failed\n", c.name);
            return 1;
        }
        std::printf("poll tick + 8 plotted / 11 raw round trips (%s): %.2f (tick %.1f us, bound %.1f us; "
                    "target <= 1.30)\n",
                    c.name, tick / bound, tick, bound);
        std::printf("11 bare exchanges / 11 raw round trips (%s): %.2f (%.1f us)\n", c.name, bare / bound,
                    bare);
    }
    // The dock at its usual width beside the pages, and floating 1600 px
    // wide: more pixel columns, more points to draw.
    const std::vector<int> widths = {0, 1600};
    const std::vector<int> noWidths;
    for (const int width : tickOnly ? noWidths : widths) {
        Redraw r;
        int columns = 0;
        if (!chartRedraw(360, width, &r, &columns)) {
            std::printf("trend chart: failed\n");
            return 1;
        }
        std::printf("trend chart, 8 series x %d samples (1 h window), %d pixel columns:\n",
                    trend::Series::kCapacity, columns);
        std::printf("  redraw: slowest %.2f ms (target < 2 ms), mean %.2f ms; line series: slowest %.2f ms, "
                    "mean %.2f ms; ratio of slowest %.2f\n",
                    r.dock.worstRedraw, r.dock.meanRedraw, r.series.worstRedraw, r.series.meanRedraw,
                    r.dock.worstRedraw / r.series.worstRedraw);
        std::printf("  whole tick's events: slowest %.2f ms, mean %.2f ms; line series: slowest %.2f ms, "
                    "mean %.2f ms\n",
                    r.dock.worstTick, r.dock.meanTick, r.series.worstTick, r.series.meanTick);
        std::printf(
            "  all laid out again and drawn into an image: %.2f ms vs. line series %.2f ms (ratio %.2f)\n",
            r.dock.fullRender, r.series.fullRender, r.dock.fullRender / r.series.fullRender);
    }
    for (const Case &c : tickOnly ? none : cases) {
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
