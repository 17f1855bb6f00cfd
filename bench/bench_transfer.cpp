// How close the program loads come to the wire: a line load of 5,000 lines
// against 5,000 bare round trips on a logged-in socket, and a block load of
// 1 MB against the same blocks' round trips. Both sides talk to the same
// in-process simulator on loopback.
#include "link/sjis.h"
#include "sim/machine.h"
#include "support/fixture.h"
#include "transfer/fileformat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QLineEdit>
#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLines = 5000;
constexpr qsizetype kBlockBytes = 1024 * 1024;
constexpr int kRuns = 3;

// A client that does nothing but the protocol: write, then block until the
// answer is in.
class RawClient
{
public:
    bool open(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        if (!m_socket.waitForConnected(5000))
            return false;
        if (!waitFor("Login    :"))
            return false;
        if (!exchange("KDW4721\r", "Password :"))
            return false;
        return exchange("QVRNT\r", "\n#");
    }

    bool exchange(const QByteArray &bytes, const QByteArray &until)
    {
        m_buffer.clear();
        m_socket.write(bytes);
        m_socket.flush();
        return waitFor(until);
    }

private:
    bool waitFor(const QByteArray &needle)
    {
        while (!m_buffer.contains(needle)) {
            if (!m_socket.waitForReadyRead(5000))
                return false;
            m_buffer += m_socket.readAll();
        }
        return true;
    }

    QTcpSocket m_socket;
    QByteArray m_buffer;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void clearProgram(MonitorFixture &f)
{
    f.sim->withMachine([](sim::Machine &m) { m.handleLine(QStringLiteral("NEW")); });
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
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

    // What one 5 ms run-loop turn really costs here (timer slack, scheduling).
    QElapsedTimer calib;
    calib.start();
    for (int i = 0; i < 200; ++i)
        f.vc->doEvents();
    const double turn = calib.nsecsElapsed() / 1e9 / 200;

    // ---- line load --------------------------------------------------------
    QStringList lines;
    for (int i = 0; i < kLines; ++i)
        lines << QStringLiteral("PRINT \"行%1 日本語のテキスト\" : A=A+%1").arg(i);
    const QString linePath = f.tempDir.filePath(QStringLiteral("bench.f2k"));
    writeFile(linePath, link::sjisEncode(lines.join(QLatin1Char('\n')) + QLatin1Char('\n')));

    std::vector<double> monitorLine;
    std::vector<double> rawLine;
    for (int run = 0; run < kRuns; ++run) {
        clearProgram(f);
        f.dialogs.setNextFileName(linePath);
        QElapsedTimer t;
        t.start();
        f.vc->programLoad();
        monitorLine.push_back(t.nsecsElapsed() / 1e9);
        if (!f.vc->consoleText().contains(QStringLiteral("Program Loaded"))) {
            std::fprintf(stderr, "the line load did not complete\n");
            return 1;
        }

        clearProgram(f);
        raw.exchange("ECHO 2\r", "\n#");
        t.restart();
        for (const QString &line : lines) {
            if (!raw.exchange(link::sjisEncode(line) + '\r', "#")) {
                std::fprintf(stderr, "raw line round trip failed\n");
                return 1;
            }
        }
        rawLine.push_back(t.nsecsElapsed() / 1e9);
        raw.exchange("ECHO\r", "\n#");
    }

    // ---- block load -------------------------------------------------------
    QString program;
    for (int i = 0; link::sjisEncode(program).size() < kBlockBytes - 64; ++i)
        program += QStringLiteral("PRINT \"行%1 日本語\"\n").arg(i);
    const QByteArray programBytes = link::sjisEncode(program);
    const QString blockPath = f.tempDir.filePath(QStringLiteral("bench-hs.f2k"));
    writeFile(blockPath, programBytes);
    const QList<QByteArray> blocks = transfer::programBlocks(transfer::blockLoadBytes(program).bytes);

    std::vector<double> monitorBlock;
    std::vector<double> rawBlock;
    // Where the block load's time goes, from the status line's changes: the
    // attention byte and the pause after it, the blocks, MMC_LOAD.
    std::vector<double> phaseStart, phaseBlocks, phaseFinish;
    for (int run = 0; run < kRuns; ++run) {
        clearProgram(f);
        f.dialogs.setNextFileName(blockPath);
        QElapsedTimer t;
        double firstBlock = 0;
        double lastBlock = 0;
        const auto watch = QObject::connect(f.vc->textField2, &QLineEdit::textChanged, [&](const QString &s) {
            if (s.endsWith(QLatin1String("(KB)"))) {
                if (firstBlock == 0)
                    firstBlock = t.nsecsElapsed() / 1e9;
                lastBlock = t.nsecsElapsed() / 1e9;
            }
        });
        t.start();
        f.vc->programLoadHs();
        const double total = t.nsecsElapsed() / 1e9;
        QObject::disconnect(watch);
        monitorBlock.push_back(total);
        phaseStart.push_back(firstBlock);
        phaseBlocks.push_back(lastBlock - firstBlock);
        phaseFinish.push_back(total - lastBlock);
        if (!f.vc->consoleText().contains(QStringLiteral("Program Loaded"))) {
            std::fprintf(stderr, "the block load did not complete\n");
            return 1;
        }

        clearProgram(f);
        t.restart();
        bool ok = raw.exchange(QByteArray("\x01", 1), "\n#");
        for (const QByteArray &block : blocks)
            ok = ok && raw.exchange(block, "\n#");
        ok = ok && raw.exchange("MMC_LOAD MMC_LOAD$\r", "\n#");
        rawBlock.push_back(t.nsecsElapsed() / 1e9);
        if (!ok) {
            std::fprintf(stderr, "raw block round trip failed\n");
            return 1;
        }
    }

    // The pauses the behaviour itself prescribes: run-loop turns of 5 ms
    // (the attention wait, the cleared console, one per 100 lines) and, for
    // the block load, the fixed 1 s pause after the attention byte, one turn
    // per block and the turns around MMC_LOAD.
    const double linePauses = (2 + (kLines + 99) / 100) * turn;
    const double blockPauses = 1.0 + (3 + blocks.size() + 1) * turn;

    const double ml = median(monitorLine);
    const double rl = median(rawLine);
    const double mb = median(monitorBlock);
    const double rb = median(rawBlock);
    std::printf("transfer benchmark (median of %d runs, loopback, in-process simulator)\n", kRuns);
    std::printf("one doEvents() turn (5 ms asked) measures %.3f ms here\n", turn * 1000);
    std::printf("line load, %d lines:   monitor %.3f s, raw round trips %.3f s, ratio %.2f (target <= 1.3)\n",
                kLines, ml, rl, ml / rl);
    std::printf("    prescribed run-loop turns >= %.3f s; without them %.3f s, ratio %.2f\n", linePauses,
                ml - linePauses, (ml - linePauses) / rl);
    std::printf("block load, %lld bytes in %lld blocks:   monitor %.3f s, raw round trips %.3f s, "
                "ratio %.2f (target <= 1.3)\n",
                static_cast<long long>(programBytes.size() + 1), static_cast<long long>(blocks.size()), mb,
                rb, mb / rb);
    std::printf("    prescribed pauses >= %.3f s (1 s after the attention byte, %lld run-loop turns); "
                "without them %.3f s, ratio %.2f\n",
                blockPauses, static_cast<long long>(blocks.size() + 4), mb - blockPauses,
                (mb - blockPauses) / rb);
    std::printf("    phases: up to the first block acknowledged %.3f s, the other %lld blocks %.3f s "
                "(%.2f ms each), MMC_LOAD and completion %.3f s\n",
                median(phaseStart), static_cast<long long>(blocks.size() - 1), median(phaseBlocks),
                median(phaseBlocks) * 1000 / double(blocks.size() - 1), median(phaseFinish));
    return 0;
}
