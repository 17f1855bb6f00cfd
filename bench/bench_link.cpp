// The link's costs against the physical bounds, measured side by side in one
// run against the in-process simulator on loopback:
//  - one exchange vs. one raw blocking-socket round trip, and vs. the same
//    exchange with the socket on a worker thread (writes and replies handed
//    over by queued calls): the choice of one thread per socket;
//  - the window's event loop while a reply takes 10 s: its longest turn (the
//    tests' stall probe: the machine's delays left out) and the GUI thread's
//    CPU meanwhile;
//  - a 10 MB console flood vs. draining the same bytes from a raw socket,
//    and the longest turn of the event loop meanwhile.
#include "link/protocol.h"
#include "rawclient.h"
#include "support/fixture.h"
#include "support/stallprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <time.h> // clock_gettime, where the platform has it

namespace {
// The calling thread's CPU time in seconds; negative where the platform has
// no per-thread CPU clock (a POSIX one).
double threadCpuSeconds()
{
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
#else
    return -1.0;
#endif
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The other way to own the socket: a worker thread reads and writes it; the
// GUI thread hands it each command and gets each chunk back by queued calls.
class WorkerSocket : public QObject
{
    Q_OBJECT

public:
    void open(quint16 port)
    {
        m_socket = new QTcpSocket(this);
        m_socket->connectToHost(QStringLiteral("127.0.0.1"), port);
        m_socket->waitForConnected(2000);
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { emit chunk(m_socket->readAll()); });
    }
    void write(const QByteArray &bytes) { m_socket->write(bytes); }

signals:
    void chunk(const QByteArray &bytes);

private:
    QTcpSocket *m_socket = nullptr;
};

// The GUI side of the worker: one exchange sends and waits for the prompt in
// an event loop of its own, as the window's would turn. (A loop of bare
// processEvents(WaitForMoreEvents) would not do: with Qt's own dispatcher it
// delivers the last chunk and then sleeps on until the next event.)
struct WorkerExchange
{
    QThread thread;
    WorkerSocket worker;
    QByteArray reply;
    QByteArray needle;
    QEventLoop loop;
    bool waiting = false;
    QTimer deadline;

    bool open(quint16 port)
    {
        worker.moveToThread(&thread);
        thread.start();
        // Connected first: the login prompt may come before open() returns.
        QObject::connect(
            &worker, &WorkerSocket::chunk, qApp,
            [this](const QByteArray &b) {
                reply += b;
                if (waiting && reply.contains(needle))
                    loop.quit();
            },
            Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            &worker, [this, port] { worker.open(port); }, Qt::BlockingQueuedConnection);
        deadline.setSingleShot(true);
        deadline.setInterval(5000);
        QObject::connect(&deadline, &QTimer::timeout, qApp, [this] {
            if (waiting)
                loop.quit();
        });
        // The login, as the link answers it.
        return waitFor(protocol::kLoginPrompt) && send(protocol::kLoginName) &&
               waitFor(protocol::kPasswordPrompt) && send(protocol::kPassword) &&
               waitFor(protocol::kPromptLine);
    }
    bool send(const QByteArray &line)
    {
        reply.clear();
        const QByteArray bytes = line + protocol::kLineEnd;
        QMetaObject::invokeMethod(
            &worker, [this, bytes] { worker.write(bytes); }, Qt::QueuedConnection);
        return true;
    }
    bool waitFor(const QByteArray &prompt)
    {
        if (reply.contains(prompt))
            return true;
        needle = prompt;
        waiting = true;
        deadline.start();
        loop.exec();
        deadline.stop();
        waiting = false;
        return reply.contains(prompt);
    }
    bool exchange(const QByteArray &line) { return send(line) && waitFor(protocol::kPromptLine); }
    ~WorkerExchange()
    {
        thread.quit();
        thread.wait();
    }
};

// The least an exchange can cost without blocking the GUI thread: a bare
// socket on the GUI thread, the next command written from its readyRead once
// the prompt is in, the loop turning between, and no link in between.
class LoopClient : public QObject
{
public:
    // The login is the raw client's, blocking: only the round trips after it are timed.
    bool open(quint16 port)
    {
        if (!m_login.open(port))
            return false;
        connect(&m_login.socket(), &QTcpSocket::readyRead, this, [this] {
            m_buf += m_login.socket().read(16384); // as the link reads: no size asked first
            if (!m_buf.contains(protocol::kPromptLine))
                return;
            m_buf.clear();
            if (--m_left > 0)
                m_login.socket().write(m_line);
            else
                m_loop.quit();
        });
        return true;
    }
    void roundTrips(const QByteArray &line, int count)
    {
        m_line = line + protocol::kLineEnd;
        m_left = count;
        m_login.socket().write(m_line);
        m_loop.exec();
    }

private:
    RawClient m_login;
    QByteArray m_buf, m_line;
    QEventLoop m_loop;
    int m_left = 0;
};

// Runs `count` exchanges one after the other in one action of the link's
// slot, as a load or a poll tick does, turning the event loop until the last
// has ended (as the window's loop would).
bool linkExchanges(wire::Link &link, const QString &command, int count)
{
    QEventLoop loop;
    bool ok = true;
    link.enqueue([&]() -> QCoro::Task<> {
        for (int i = 0; i < count && ok; ++i) {
            const std::optional<QString> reply = co_await link.exchange(command);
            ok = reply.has_value();
        }
        loop.quit();
    });
    if (link.busy())
        loop.exec();
    return ok;
}
bool linkExchanges(MonitorFixture &f, const QString &command, int count)
{
    return linkExchanges(f.link(), command, count);
}

// A link of its own, with nothing of the window listening: logged in and
// settled, as the window's is once connected.
bool openBareLink(wire::Link &link, quint16 port)
{
    QEventLoop loop;
    QObject::connect(&link, &wire::Link::stateChanged, &loop, [&](wire::State state) {
        if (state == wire::State::Ready || state == wire::State::Disconnected)
            loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    link.open(QStringLiteral("127.0.0.1:%1").arg(port));
    loop.exec();
    return link.state() == wire::State::Ready && linkExchanges(link, QStringLiteral("PR 1"), 1);
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = 4000;
    // One part alone, for a profiler's run: "exchange" or "flood".
    const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();

    // 1. One exchange vs. a raw round trip vs. the worker-thread socket,
    // interleaved in batches so that all see the same machine conditions.
    // The link alone, and the window's: there an exchange outside polls and
    // transfers is an operator's command, which the journal writes down.
    if (only.isEmpty() || only == "exchange") {
        MonitorFixture f;
        if (!f.connectToSim())
            return 1;
        RawClient raw;
        WorkerExchange worker;
        LoopClient looped;
        wire::Link bare(nullptr);
        if (!raw.open(f.sim->port()) || !worker.open(f.sim->port()) || !looped.open(f.sim->port()) ||
            !openBareLink(bare, f.sim->port()))
            return 1;
        f.sim->setRecording(false);
        // Many short batches, each way's place in the batch turning round,
        // and the ratios taken batch by batch: a machine's slow moment then
        // weighs on both sides of a ratio alike.
        const int batches = 40, perBatch = rounds / batches;
        double cpuUs[5] = {}; // the GUI thread's CPU per round trip, each way
        std::vector<double> al, ex, rt, wk, lp, alRatio, exRatio, wkRatio, lpRatio, alLpRatio;
        for (int batch = 0; batch < batches; ++batch) {
            double ns[5] = {};
            for (int k = 0; k < 5; ++k) {
                const int way = (batch + k) % 5;
                QElapsedTimer t;
                const double cpuBefore = threadCpuSeconds();
                t.start();
                if (way == 0)
                    linkExchanges(bare, QStringLiteral("PR 1"), perBatch);
                else if (way == 1)
                    linkExchanges(f, QStringLiteral("PR 1"), perBatch);
                else if (way == 2)
                    for (int i = 0; i < perBatch; ++i)
                        raw.roundTrip("PR 1");
                else if (way == 3)
                    for (int i = 0; i < perBatch; ++i)
                        worker.exchange("PR 1");
                else
                    looped.roundTrips("PR 1", perBatch);
                ns[way] = double(t.nsecsElapsed()) / perBatch;
                cpuUs[way] += (threadCpuSeconds() - cpuBefore) * 1e6 / rounds;
            }
            al.push_back(ns[0]);
            ex.push_back(ns[1]);
            rt.push_back(ns[2]);
            wk.push_back(ns[3]);
            alRatio.push_back(ns[0] / ns[2]);
            exRatio.push_back(ns[1] / ns[2]);
            wkRatio.push_back(ns[3] / ns[2]);
            lp.push_back(ns[4]);
            lpRatio.push_back(ns[4] / ns[2]);
            alLpRatio.push_back(ns[0] / ns[4]);
        }
        std::printf("exchange: %.1f us, raw round trip: %.1f us, ratio %.2f (target <= 1.00)\n",
                    median(al) / 1000, median(rt) / 1000, median(alRatio));
        std::printf("exchange in the window, journaled as a command: %.1f us, ratio to raw %.2f\n",
                    median(ex) / 1000, median(exRatio));
        std::printf("socket on a worker thread: %.1f us, ratio to raw %.2f\n", median(wk) / 1000,
                    median(wkRatio));
        // What the event loop's turn costs by itself: the link's share is the
        // exchange's ratio to this, not to the blocking client.
        std::printf("bare socket through the event loop: %.1f us, ratio to raw %.2f; the link's exchange "
                    "to it %.2f\n",
                    median(lp) / 1000, median(lpRatio), median(alLpRatio));
        if (cpuUs[0] >= 0)
            std::printf("GUI-thread CPU per round trip: the link %.1f us, the bare socket through the loop "
                        "%.1f us\n",
                        cpuUs[0], cpuUs[4]);
    }

    // 2. A reply that takes 10 s: the event loop's longest gap meanwhile;
    // then one of 3 s without the beat that measures the gaps, for the CPU
    // the GUI thread spends waiting.
    if (only.isEmpty()) {
        MonitorFixture f;
        if (!f.connectToSim())
            return 1;
        auto opt = f.sim->options();
        opt.delayMs = 10000;
        f.sim->setOptions(opt);
        StallProbe gaps(1);
        const bool ok = linkExchanges(f, QStringLiteral("PR 1"), 1);
        gaps.stop();
        const qint64 worst = gaps.longestMs();
        std::printf("reply after 10 s (%s): longest turn of the event loop %lld ms (target <= 16 ms)\n",
                    ok ? "prompt" : "failed", static_cast<long long>(worst));
        opt.delayMs = 3000;
        f.sim->setOptions(opt);
        QElapsedTimer wall;
        const double cpu0 = threadCpuSeconds();
        wall.start();
        const bool ok3 = linkExchanges(f, QStringLiteral("PR 1"), 1);
        const double cpu1 = threadCpuSeconds();
        const double secs = double(wall.nsecsElapsed()) / 1e9;
        // The same window connected and idle as long, side by side: its own
        // displays (the health bar's clock) tick with or without a wait.
        QEventLoop idle;
        QTimer::singleShot(static_cast<int>(secs * 1000), &idle, &QEventLoop::quit);
        const double cpu2 = threadCpuSeconds();
        idle.exec();
        const double cpu3 = threadCpuSeconds();
        if (cpu0 < 0) {
            std::printf("wait of %.2f s: GUI-thread CPU n/a\n", secs);
        } else {
            const double waiting = 100.0 * (cpu1 - cpu0) / secs, idling = 100.0 * (cpu3 - cpu2) / secs;
            std::printf("wait of %.2f s (%s): GUI-thread CPU %.2f%% of one core; idle window %.2f%%; "
                        "the wait's own %.2f%% (target 0%%)\n",
                        secs, ok3 ? "prompt" : "failed", waiting, idling, waiting - idling);
        }
    }

    // 3. Console flood: 10 MB of 40-byte lines with the console tab showing.
    if (only.isEmpty() || only == "flood") {
        const qint64 bytes = 10 * 1024 * 1024;
        // The simulator numbers its 40-byte flood lines; the last one (maybe cut
        // short) still carries its number.
        const QByteArray lastLine = "FLOOD " + QByteArray::number((bytes + 39) / 40).rightJustified(8, '0');
        auto opt = MonitorFixture::makeOptions();
        opt.flood = bytes;
        double drain = 0;
        {
            sim::Server s(opt);
            s.setRecording(false);
            s.start();
            RawClient raw;
            QElapsedTimer t;
            t.start();
            if (!raw.open(s.port()))
                return 1;
            raw.readUntil(lastLine, 120000);
            drain = double(t.nsecsElapsed()) / 1e9;
        }
        MonitorFixture f(opt);
        f.sim->setRecording(false);
        QElapsedTimer t;
        t.start();
        f.addressField()->setText(QStringLiteral("127.0.0.1:%1").arg(f.sim->port()));
        f.window->findChild<QPushButton *>(QStringLiteral("buttonConnect"))->click();
        StallProbe gaps(1);
        const bool done =
            f.waitFor([&] { return f.consoleText().contains(QString::fromLatin1(lastLine)); }, 300000);
        const double shown = double(t.nsecsElapsed()) / 1e9;
        gaps.stop();
        const qint64 worst = gaps.longestMs();
        std::printf("console flood 10 MB: shown after %.2f s, raw drain %.2f s, ratio %.2f, longest turn of "
                    "the event "
                    "loop %lld ms (target <= 25 ms)%s\n",
                    shown, drain, shown / drain, static_cast<long long>(worst),
                    done ? "" : " [did not finish]");
    }

    // 4. A controller that floods 10 MB without a line feed before the login:
    // the console shows the end of one overlong line, laid out anew as it
    // grows. The longest turn of the event loop meanwhile.
    if (only.isEmpty() || only == "flood") {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost))
            return 1;
        f.addressField()->setText(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        f.window->findChild<QPushButton *>(QStringLiteral("buttonConnect"))->click();
        if (!f.waitFor([&] { return server.hasPendingConnections() && wire::isUp(f.link().state()); }))
            return 1;
        QTcpSocket *peer = server.nextPendingConnection();
        QElapsedTimer t;
        t.start();
        StallProbe gaps(1);
        peer->write(QByteArray(10 * 1024 * 1024, 'x'));
        peer->write("\r\nEND\r\n#");
        const bool done =
            f.waitFor([&] { return f.consoleText().endsWith(QStringLiteral("END\r\n#")); }, 300000);
        gaps.stop();
        std::printf(
            "flood of one 10 MB line before the login: shown after %.2f s, longest turn of the event loop "
            "%lld ms (target <= 25 ms)%s\n",
            double(t.nsecsElapsed()) / 1e9, static_cast<long long>(gaps.longestMs()),
            done ? "" : " [did not finish]");
    }
    return 0;
}

#include "bench_link.moc"
