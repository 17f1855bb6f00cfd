// Start-up cost: time from process start to the first shown window, and peak
// memory, of the monitor against a minimal Qt Widgets window, each measured
// in child processes of this one run (median of several starts).
#include "app/mainwindow.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {
// Quits once the window has been painted for the first time.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint || e->type() == QEvent::Expose)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return false;
    }
};

// The child reports its own peak resident size when it ends.
int reportPeak(int rc)
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("%ld\n", ru.ru_maxrss);
    return rc;
}

int child(bool monitor, int argc, char **argv)
{
    QApplication app(argc, argv);
    FirstPaint fp;
    if (monitor) {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        ScriptedDialogs dialogs;
        FakeClock clock;
        MainWindow w(&dialogs, &clock, &settings);
        w.installEventFilter(&fp);
        w.show();
        return reportPeak(app.exec());
    }
    QLabel w(QStringLiteral("hello"));
    w.installEventFilter(&fp);
    w.show();
    return reportPeak(app.exec());
}

struct Sample
{
    double seconds;
    long maxRssKb;
};

Sample runChild(const QString &self, const QString &mode)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(self, {mode});
    p.waitForFinished(60000);
    const double secs = double(t.nsecsElapsed()) / 1e9;
    return {secs, QString::fromLatin1(p.readAllStandardOutput()).trimmed().toLong()};
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
    if (argc > 1 && std::string(argv[1]) == "--minimal")
        return child(false, argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--monitor")
        return child(true, argc, argv);

    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> tMin, tMon, mMin, mMon;
    for (int i = 0; i < 7; ++i) {
        const Sample a = runChild(self, QStringLiteral("--minimal"));
        const Sample b = runChild(self, QStringLiteral("--monitor"));
        tMin.push_back(a.seconds);
        mMin.push_back(double(a.maxRssKb));
        tMon.push_back(b.seconds);
        mMon.push_back(double(b.maxRssKb));
    }
    const double t0 = medianOf(tMin), t1 = medianOf(tMon), m0 = medianOf(mMin), m1 = medianOf(mMon);
    std::printf("time to first shown window: monitor %.0f ms, minimal window %.0f ms, ratio %.2f\n",
                t1 * 1000, t0 * 1000, t1 / t0);
    std::printf("peak memory: monitor %.1f MB, minimal window %.1f MB, ratio %.2f\n", m1 / 1024, m0 / 1024,
                m1 / m0);
    return 0;
}
