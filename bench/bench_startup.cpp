// Start-up cost of the monitor against a bare Qt Widgets window of the same
// size, and the cost of File > New Window in a running monitor, each measured
// in child processes of this one run (median of several starts).
//
// Both children are this binary, so the libraries loaded are the same; they
// take turns so that a change in the machine's load hits both alike. The
// start-up time runs from just before the parent starts a child to that
// child's first whole frame (both read the system-wide monotonic clock), so
// the child's teardown is not counted. The frame is done at the event loop's
// next turn after the first paint event: the window system's expose paints
// every widget and flushes in one go. The first paint event alone comes
// before any widget has drawn, for a window with text before its fonts are
// even looked up; it is printed beside, not held to the goal.
//
// Each child reads its own peak resident size once its window has shown and
// the event loop has run a little, i.e. with whatever the window does just
// after showing.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/windowset.h"
#include "link/sjis.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {
// How long a child goes on after its first paint before it reads its peak
// memory; the monitor then opens its New Window from a settled program, as a
// user's menu pick would.
constexpr int kSettleMs = 200;
constexpr int kRuns = 11;

long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

long peakRssKb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// Calls back once, on the first paint of the widget it watches (installed
// on that widget), or of any object `accept` picks (installed on the
// application, for a window that is shown before it could be watched).
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(std::function<void(QObject *)> onPaint, std::function<bool(QObject *)> accept = {})
        : m_onPaint(std::move(onPaint)), m_accept(std::move(accept))
    {
    }

    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (!m_seen && (e->type() == QEvent::Paint || e->type() == QEvent::Expose) &&
            (!m_accept || m_accept(watched))) {
            m_seen = true;
            m_onPaint(watched);
        }
        return false;
    }

private:
    std::function<void(QObject *)> m_onPaint;
    std::function<bool(QObject *)> m_accept;
    bool m_seen = false;
};

// One line on stdout: first paint event and first whole frame (monotonic
// ns), peak memory (kB), the window's width and height, and for the monitor
// the New Window's time to its first whole frame (ns).
void report(long long paintedNs, long long shownNs, long rssKb, QSize size, long long newWindowNs = 0)
{
    std::printf("%lld %lld %ld %d %d %lld\n", paintedNs, shownNs, rssKb, size.width(), size.height(),
                newWindowNs);
    std::fflush(stdout);
}

int bareChild(int argc, char **argv, int width, int height)
{
    QApplication app(argc, argv);
    QLabel w(QStringLiteral("hello"));
    w.resize(width, height);
    long long painted = 0, shown = 0;
    FirstPaint fp([&](QObject *) {
        painted = monotonicNs();
        QTimer::singleShot(0, &app, [&] { shown = monotonicNs(); });
        QTimer::singleShot(kSettleMs, &app, [&] {
            report(painted, shown, peakRssKb(), w.size());
            app.quit();
        });
    });
    w.installEventFilter(&fp);
    w.show();
    return app.exec();
}

// Starts as app/main.cpp does (the character set check, then the first
// window through a WindowSet), except for the clock, the settings file and
// the dialogs, which stay out of the user's way.
int monitorChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    ScriptedDialogs dialogs;
    if (!app::codecUsable(dialogs, wire::sjisAvailable))
        return 1;
    FakeClock clock;
    WindowSet windows(clock, &settings, [] { return std::make_unique<ScriptedDialogs>(); });

    long long painted = 0, shown = 0;
    long rss = 0;
    QSize size;
    MainWindow *first = nullptr;
    QElapsedTimer sinceRequest;
    // Neither window can be watched before open() has shown it, so these
    // watch every event, for the first MainWindow and then for another.
    FirstPaint secondPaint(
        [&](QObject *) {
            QTimer::singleShot(0, &app, [&] {
                report(painted, shown, rss, size, sinceRequest.nsecsElapsed());
                app.quit();
            });
        },
        [&](QObject *o) { return o != first && qobject_cast<MainWindow *>(o); });
    auto openNewWindow = [&] {
        rss = peakRssKb();
        QAction *newWindow = first->findChild<QAction *>(QStringLiteral("menuNewWindow"));
        if (!newWindow) {
            std::fputs("File > New Window not found\n", stderr);
            app.exit(1);
            return;
        }
        app.installEventFilter(&secondPaint);
        sinceRequest.start();
        newWindow->trigger();
    };
    FirstPaint firstPaint(
        [&](QObject *o) {
            painted = monotonicNs();
            QTimer::singleShot(0, &app, [&] { shown = monotonicNs(); });
            first = static_cast<MainWindow *>(o);
            size = first->size();
            QTimer::singleShot(kSettleMs, &app, openNewWindow);
        },
        [](QObject *o) { return qobject_cast<MainWindow *>(o) != nullptr; });
    app.installEventFilter(&firstPaint);

    windows.open();
    return app.exec();
}

struct Sample
{
    double paintSecs;
    double startSecs;
    double rssKb;
    QSize size;
    double newWindowSecs;
};

// Runs one child and reads its report; exits the benchmark if it fails.
Sample runChild(const QString &self, const QStringList &args)
{
    QProcess p;
    const long long started = monotonicNs();
    p.start(self, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
    }
    const QStringList f = QString::fromLatin1(p.readAllStandardOutput()).split(u' ', Qt::SkipEmptyParts);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || f.size() != 6) {
        std::fprintf(stderr, "child %s failed:\n%s\n", qPrintable(args.join(u' ')),
                     p.readAllStandardError().constData());
        std::exit(1);
    }
    return {double(f[0].toLongLong() - started) / 1e9, double(f[1].toLongLong() - started) / 1e9,
            f[2].toDouble(), QSize(f[3].toInt(), f[4].toInt()), double(f[5].toLongLong()) / 1e9};
}

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--monitor") == 0)
        return monitorChild(argc, argv);
    if (argc > 3 && std::strcmp(argv[1], "--bare") == 0)
        return bareChild(argc, argv, std::atoi(argv[2]), std::atoi(argv[3]));

    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    // One monitor start first, not counted: it tells the window's size, and
    // warms the caches for both.
    const QSize size = runChild(self, {QStringLiteral("--monitor")}).size;
    const QStringList bare = {QStringLiteral("--bare"), QString::number(size.width()),
                              QString::number(size.height())};
    std::vector<double> pBare, pMon, tBare, tMon, mBare, mMon, tNew;
    for (int i = 0; i < kRuns; ++i) {
        const Sample a = runChild(self, bare);
        const Sample b = runChild(self, {QStringLiteral("--monitor")});
        if (a.size != size || b.size != size) {
            std::fprintf(stderr, "window sizes differ: %dx%d, bare %dx%d, monitor %dx%d\n", size.width(),
                         size.height(), a.size.width(), a.size.height(), b.size.width(), b.size.height());
            return 1;
        }
        pBare.push_back(a.paintSecs);
        pMon.push_back(b.paintSecs);
        tBare.push_back(a.startSecs);
        mBare.push_back(a.rssKb);
        tMon.push_back(b.startSecs);
        mMon.push_back(b.rssKb);
        tNew.push_back(b.newWindowSecs);
    }
    const double t0 = medianOf(tBare), t1 = medianOf(tMon), m0 = medianOf(mBare), m1 = medianOf(mMon);
    std::printf("time to first shown window: monitor %.0f ms, bare window of the same size (%dx%d) %.0f ms, "
                "ratio %.2f (goal: at most 1.5)\n",
                t1 * 1000, size.width(), size.height(), t0 * 1000, t1 / t0);
    const double p0 = medianOf(pBare), p1 = medianOf(pMon);
    std::printf("  (to the first paint event, before anything is drawn: monitor %.0f ms, bare %.0f ms, ratio "
                "%.2f)\n",
                p1 * 1000, p0 * 1000, p1 / p0);
    std::printf("peak memory: monitor %.1f MB, bare window of the same size %.1f MB, ratio %.2f (goal: at "
                "most 1.3)\n",
                m1 / 1024, m0 / 1024, m1 / m0);
    std::printf("new window: %.0f ms to its first whole frame (goal: under 100 ms)\n", medianOf(tNew) * 1000);
    return 0;
}
