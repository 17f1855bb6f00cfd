// How close the program loads come to the wire. Three clients load the same
// file into the same in-process simulator on loopback, one after the other:
//   - the monitor (programLoad / programLoadHs, the real code path);
//   - a bare blocking client doing only the round trips (5,000 program lines;
//     or the attention byte, the 0x02 blocks and MMC_LOAD);
//   - the same bare client doing the whole load sequence with the pauses the
//     load makes by design: a 5 ms run-loop turn where the
//     monitor turns its run loop, and the 1 s pause after the attention byte
//     of the block load. No client can be faster than this one.
#include "link/protocol.h"
#include "link/sjis.h"
#include "rawclient.h"
#include "sim/machine.h"
#include "support/fixture.h"
#include "support/stallprobe.h"
#include "transfer/fileformat.h"
#include "transfer/transfers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace {

constexpr int kLines = 5000;
constexpr qsizetype kBlockBytes = 1024 * 1024;
constexpr int kLineRuns = 5;
constexpr int kBlockRuns = 3;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double seconds(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e9;
}

// The bare client's stand-in for one run-loop turn of the monitor.
void turn()
{
    QThread::usleep(5000);
}

void clearProgram(MonitorFixture &f)
{
    f.sim->withMachine([](sim::Machine &m) { m.handleLine(QLatin1String(protocol::kClearProgram)); });
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The line load's wire sequence; with `paced` also its run-loop turns.
bool rawLineLoad(RawClient &raw, const QList<QByteArray> &lines, bool paced)
{
    bool ok = true;
    if (paced) {
        ok = raw.rawRoundTrip(QByteArray(1, protocol::kAttention));
        turn();
        ok = ok && raw.roundTrip(protocol::kClearProgram);
    }
    ok = ok && raw.roundTrip(protocol::kLoadModeOn);
    for (qsizetype i = 0; ok && i < lines.size(); ++i) {
        ok = raw.rawRoundTrip(lines.at(i) + protocol::kLineEnd, protocol::kPrompt);
        if (paced && i % 100 == 0)
            turn();
    }
    ok = ok && raw.roundTrip(protocol::kLoadModeWord);
    if (paced)
        ok = ok && raw.roundTrip("RENUM");
    return ok;
}

// The block load's wire sequence; with `paced` also its pauses.
bool rawBlockLoad(RawClient &raw, const QList<QByteArray> &blocks, bool paced)
{
    if (paced)
        turn();
    bool ok = raw.rawRoundTrip(QByteArray(1, protocol::kAttention));
    if (paced) {
        QThread::msleep(1000);
        turn();
    }
    for (const QByteArray &block : blocks) {
        ok = ok && raw.rawRoundTrip(block);
        if (paced)
            turn();
    }
    if (paced)
        turn();
    return ok && raw.roundTrip(protocol::kLoadBlocks);
}

struct Timings
{
    std::vector<double> monitor, bare, paced;
    // The longest turn of the window's event loop during the monitor's loads,
    // less what the machine kept it waiting.
    qint64 longestStallMs = 0;
};

// Loads `path` with the monitor's `load`, then runs the bare client both
// ways; the first `warmUps` rounds are not counted, nor a last round of the
// monitor alone. The turns of its event loop are timed in those.
bool measure(MonitorFixture &f, const QString &path, QCoro::Task<> (transfer::Transfers::*load)(QString),
             const std::function<bool(bool paced)> &rawLoad, int warmUps, int runs, Timings &out)
{
    for (int run = 0; run <= warmUps + runs; ++run) {
        const bool counted = run >= warmUps && run < warmUps + runs;
        clearProgram(f);
        transfer::Transfers *transfers = &f.window->transfers();
        QElapsedTimer t;
        t.start();
        // The probe's beat costs the load some time: only in the rounds not
        // counted, the first (the file and the converters cold) and the last.
        std::optional<StallProbe> stalls;
        if (!counted)
            stalls.emplace(1);
        const bool ended = f.run([transfers, load, path] { return (transfers->*load)(path); }, 600000);
        const double monitorSeconds = seconds(t);
        if (stalls) {
            stalls->stop();
            out.longestStallMs = std::max(out.longestStallMs, stalls->longestMs());
        }
        if (counted)
            out.monitor.push_back(monitorSeconds);
        if (!ended || !f.consoleText().contains(QStringLiteral("Program Loaded"))) {
            std::fprintf(stderr, "the monitor's load did not complete\n");
            return false;
        }
        if (run == warmUps + runs)
            break;
        for (bool paced : {false, true}) {
            clearProgram(f);
            t.restart();
            if (!rawLoad(paced)) {
                std::fprintf(stderr, "the bare client's load failed\n");
                return false;
            }
            if (counted)
                (paced ? out.paced : out.bare).push_back(seconds(t));
        }
    }
    return true;
}

void report(const char *what, const Timings &t, double target)
{
    const double monitor = median(t.monitor);
    const double bare = median(t.bare);
    const double paced = median(t.paced);
    std::printf("%s\n", what);
    std::printf("    monitor                                 %7.3f s\n", monitor);
    std::printf("    bare round trips only                   %7.3f s   monitor / bare   = %5.2f\n", bare,
                monitor / bare);
    std::printf("    bare client, with the prescribed pauses %7.3f s   monitor / paced  = %5.2f "
                "(target <= %.2f)\n",
                paced, monitor / paced, target);
    std::printf("    monitor minus paced (the monitor's own cost) %.3f s\n", monitor - paced);
    std::printf("    longest turn of the window's event loop during the monitor's loads: %lld ms "
                "(target <= 16 ms)\n",
                static_cast<long long>(t.longestStallMs));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "quorin.*.debug=false;quorin.*.info=false");
    QApplication app(argc, argv);

    MonitorFixture f;
    if (!f.connectToSim()) {
        std::fprintf(stderr, "could not log in to the simulator\n");
        return 1;
    }
    RawClient raw;
    if (!raw.open(f.sim->port())) {
        std::fprintf(stderr, "the raw client could not log in\n");
        return 1;
    }

    // ---- line load --------------------------------------------------------
    QStringList lines;
    QList<QByteArray> lineBytes;
    for (int i = 0; i < kLines; ++i) {
        lines << QStringLiteral("PRINT \"行%1 日本語のテキスト\" : A=A+%1").arg(i);
        lineBytes << wire::sjisEncode(lines.last());
    }
    const QString linePath = f.tempDir.filePath(QStringLiteral("bench.f2k"));
    writeFile(linePath, wire::sjisEncode(lines.join(QLatin1Char('\n')) + QLatin1Char('\n')));

    // One uncounted round warms up both sides (converters, buffers, page
    // faults).
    Timings line;
    if (!measure(
            f, linePath, &transfer::Transfers::programLoad,
            [&](bool paced) { return rawLineLoad(raw, lineBytes, paced); }, 1, kLineRuns, line))
        return 1;

    // ---- block load -------------------------------------------------------
    QByteArray programBytes;
    for (int i = 0; programBytes.size() < kBlockBytes - 64; ++i)
        programBytes += wire::sjisEncode(QStringLiteral("PRINT \"行%1 日本語\"\n").arg(i));
    const QString blockPath = f.tempDir.filePath(QStringLiteral("bench-hs.f2k"));
    writeFile(blockPath, programBytes);
    const QList<QByteArray> blocks =
        transfer::programBlocks(transfer::blockLoadBytes(wire::sjisDecode(programBytes)).bytes);

    Timings block;
    if (!measure(
            f, blockPath, &transfer::Transfers::programLoadHs,
            [&](bool paced) { return rawBlockLoad(raw, blocks, paced); }, 1, kBlockRuns, block))
        return 1;

    std::printf(
        "transfer benchmark (medians of %d line loads and %d block loads after one warm-up each; loopback, "
        "in-process simulator)\n",
        kLineRuns, kBlockRuns);
    char what[160];
    std::snprintf(what, sizeof what, "line load of %d lines (run-loop turns: 2 + one per 100 lines)", kLines);
    report(what, line, 1.10);
    std::snprintf(what, sizeof what,
                  "block load of %lld bytes in %lld blocks (pauses: 1 s after the attention byte, "
                  "%lld run-loop turns)",
                  static_cast<long long>(programBytes.size() + 1), static_cast<long long>(blocks.size()),
                  static_cast<long long>(blocks.size() + 3));
    report(what, block, 1.05);
    return 0;
}
