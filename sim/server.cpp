// quorin-sim's TCP side: login, fault modes, and the clock that keeps the
// simulated machine alive, all on the server's own thread.
#include "sim/server.h"

#include "link/protocol.h"
#include "link/sjis.h"
#include "sim/machine.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <deque>
#include <map>
#include <memory>

using namespace std::chrono_literals;

namespace sim {

namespace {

constexpr auto kLiveInterval = 10ms;
constexpr qint64 kFloodLine = 40;               // bytes per flood line, CR LF included
constexpr qint64 kFloodBatch = 64 * 1024;       // bytes handed to the socket at once
constexpr qint64 kFloodHighWater = 1024 * 1024; // refill below this much unsent data
const QByteArray kBanner = QByteArrayLiteral("\r\nQUORIN controller simulator (quorin-sim)");
const QByteArray kLoginPrompt = QByteArray(protocol::kNewLine) + protocol::kLoginPrompt;
const QByteArray kPasswordPrompt = QByteArray(protocol::kNewLine) + protocol::kPasswordPrompt;

// Appends flood line n: CR LF, "FLOOD ", the number in eight digits, a blank,
// then letters up to kFloodLine bytes. Patched into a template, as a flood has
// to be cheap to make.
void appendFloodLine(QByteArray &out, qint64 n)
{
    static const QByteArray tmpl = [] {
        QByteArray t = QByteArrayLiteral("\r\nFLOOD 00000000 ");
        const QByteArray pad = QByteArrayLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        t += pad.left(static_cast<int>(kFloodLine - t.size()));
        return t;
    }();
    const qsizetype at = out.size();
    out += tmpl;
    char *digits = out.data() + at + 8;
    for (int i = 7; i >= 0; --i, n /= 10)
        digits[i] = static_cast<char>('0' + n % 10);
}

QByteArray withGarbage(const QByteArray &bytes)
{
    QByteArray out = bytes;
    out.replace("\r\n", "\xFF\r\n");
    return out;
}

} // namespace

class ServerWorker : public QObject
{
public:
    explicit ServerWorker(Server *owner) : m_owner(owner)
    {
        m_machine.setClock(QDateTime::currentDateTime());
    }

    Machine &machine() { return m_machine; }

    // First thing on the simulator thread: the tick that keeps the machine
    // alive and carries out calls from other threads.
    void begin()
    {
        m_clock.start();
        m_lastTick = 0;
        m_live = new QTimer(this);
        m_live->setInterval(kLiveInterval);
        QObject::connect(m_live, &QTimer::timeout, this, [this] { tick(); });
        m_live->start();
        m_owner->runPendingCalls();
    }

    bool listen(quint16 port, quint16 *actual)
    {
        if (!m_tcp) {
            m_tcp = new QTcpServer(this);
            QObject::connect(m_tcp, &QTcpServer::newConnection, this, [this] { acceptAll(); });
        }
        if (!m_tcp->isListening() && !m_tcp->listen(QHostAddress(QHostAddress::LocalHost), port))
            return false;
        *actual = m_tcp->serverPort();
        return true;
    }

    void shutdown()
    {
        m_stopped = true;
        if (m_live)
            m_live->stop();
        for (auto &entry : m_sessions) {
            QTcpSocket *socket = entry.first;
            socket->disconnect(this);
            socket->abort();
            delete socket;
        }
        m_sessions.clear();
        delete m_tcp;
        m_tcp = nullptr;
    }

    // The fault counters start again so that a test can say "stall after N
    // more lines" in the middle of a session.
    void optionsChanged()
    {
        const Options o = m_owner->options();
        for (auto &entry : m_sessions) {
            Session &s = *entry.second;
            s.lines = 0;
            if (o.stallAfter < 0 && o.stallMid < 0)
                s.stalled = false;
        }
    }

    void deliverAsync()
    {
        const QByteArray out = m_machine.takeOutput();
        if (out.isEmpty())
            return;
        for (auto &entry : m_sessions) {
            Session &s = *entry.second;
            if (s.stage == Stage::Ready && !s.stalled && !s.closing)
                sendReply(s, out);
        }
    }

private:
    enum class Stage { Login, Password, Ready };
    struct Pending
    {
        qint64 due;
        QByteArray bytes;
        int gap; // a piece of a split reply: milliseconds to keep after the piece before it
    };
    struct Session
    {
        QTcpSocket *socket = nullptr;
        QTimer *sendTimer = nullptr;
        Stage stage = Stage::Login;
        QByteArray line;
        bool lastCr = false;
        bool overflow = false;
        QString loginName;
        int lines = 0;
        bool stalled = false;
        bool closing = false;
        std::deque<Pending> queue;
        qint64 lastDue = 0;
        qint64 floodLeft = 0;
        qint64 floodLineNo = 0;
    };

    Session *find(QTcpSocket *socket)
    {
        const auto it = m_sessions.find(socket);
        return it == m_sessions.end() ? nullptr : it->second.get();
    }

    void acceptAll()
    {
        while (QTcpSocket *socket = m_tcp->nextPendingConnection()) {
            socket->setParent(this);
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            auto session = std::make_unique<Session>();
            session->socket = socket;
            session->sendTimer = new QTimer(socket);
            session->sendTimer->setSingleShot(true);
            session->sendTimer->setTimerType(Qt::PreciseTimer);
            QObject::connect(session->sendTimer, &QTimer::timeout, this, [this, socket] {
                if (Session *s = find(socket))
                    pump(*s);
            });
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                if (Session *s = find(socket))
                    readFrom(*s);
            });
            QObject::connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
                if (Session *s = find(socket))
                    topUpFlood(*s);
            });
            // Queued, so that a close never pulls a session away from under
            // code that is still using it.
            QObject::connect(
                socket, &QTcpSocket::disconnected, this,
                [this, socket] {
                    if (m_sessions.erase(socket) > 0)
                        socket->deleteLater();
                },
                Qt::QueuedConnection);
            Session &s = *session;
            m_sessions.emplace(socket, std::move(session));
            m_owner->noteConnection();
            enqueue(s, kBanner + kLoginPrompt, 0);
        }
    }

    void readFrom(Session &s)
    {
        const QByteArray bytes = s.socket->readAll();
        m_owner->noteReceived(bytes);
        if (s.closing)
            return;
        qsizetype i = 0;
        while (s.stage != Stage::Ready && i < bytes.size())
            i = loginBytes(s, bytes, i);
        if (s.stage == Stage::Ready && i < bytes.size())
            feedMachine(s, bytes.mid(i));
    }

    // Before login the session reads lines on its own; control bytes mean
    // nothing yet and are dropped. Consumes up to and including one line end
    // and returns where it stopped.
    qsizetype loginBytes(Session &s, const QByteArray &bytes, qsizetype i)
    {
        const char c = bytes.at(i);
        if ((c == '\n' || c == '\0') && s.lastCr) {
            s.lastCr = false;
            return i + 1;
        }
        s.lastCr = c == '\r';
        if (c != '\r' && c != '\n') {
            qsizetype end = i;
            while (end < bytes.size() && bytes.at(end) != '\r' && bytes.at(end) != '\n')
                ++end;
            const qsizetype room = Machine::kMaxLine - s.line.size();
            s.line.append(bytes.constData() + i, std::min(end - i, room));
            if (end - i > room)
                s.overflow = true;
            return end;
        }
        QByteArray raw = s.line;
        raw.removeIf([](char b) { return static_cast<unsigned char>(b) < 0x20; });
        const QString text = s.overflow ? QString() : link::sjisDecode(raw).trimmed();
        s.line.clear();
        s.overflow = false;
        if (s.stage == Stage::Login) {
            s.loginName = text;
            s.stage = Stage::Password;
            enqueue(s, kPasswordPrompt, 0);
        } else if (s.loginName == QLatin1String(protocol::kLoginName) &&
                   text == QLatin1String(protocol::kPassword)) {
            s.stage = Stage::Ready;
            s.lines = 0;
            m_machine.resetInput();
            sendReply(s, m_machine.handleLine(QString()));
            s.floodLeft = m_owner->options().flood;
            topUpFlood(s);
        } else {
            s.stage = Stage::Login;
            enqueue(s,
                    "\r\n\t" + link::sjisEncode(QStringLiteral("ログインできません (Login incorrect)")) +
                        kLoginPrompt,
                    0);
        }
        return i + 1;
    }

    void feedMachine(Session &s, const QByteArray &bytes)
    {
        m_machine.feed(bytes, [this, &s](const Machine::Input &in) {
            const Options o = m_owner->options();
            if (in.kind != Machine::Input::Kind::Line) {
                if (!s.stalled)
                    sendReply(s, in.reply);
                return true;
            }
            m_owner->noteCommand(in.line);
            ++s.lines;
            const int mid = o.dropMid >= 0 ? o.dropMid : o.stallMid;
            if (mid >= 0 && s.lines > mid && !s.stalled) {
                // Cut inside a reply: its first half, then silence or a close.
                if (s.lines == mid + 1)
                    sendReply(s, in.reply.left(in.reply.size() / 2));
                s.stalled = true;
                if (o.dropMid >= 0) {
                    closeWhenSent(s);
                    return false;
                }
            }
            if (o.stallAfter >= 0 && s.lines > o.stallAfter)
                s.stalled = true;
            if (o.dropAfter >= 0 && s.lines > o.dropAfter) {
                closeWhenSent(s);
                return false;
            }
            if (!s.stalled)
                sendReply(s, in.reply);
            if (o.dropAfter >= 0 && s.lines == o.dropAfter) {
                closeWhenSent(s);
                return false;
            }
            return true;
        });
    }

    void closeWhenSent(Session &s)
    {
        s.closing = true;
        s.floodLeft = 0;
        pump(s);
    }

    void sendReply(Session &s, const QByteArray &bytes)
    {
        const Options o = m_owner->options();
        const QByteArray out = o.garbage ? withGarbage(bytes) : bytes;
        if (o.slowBps > 0) {
            // A hundredth of a second's worth every 10 ms.
            enqueue(s, out, std::max(1, o.slowBps / 100), 10);
            return;
        }
        enqueue(s, out, o.chunk);
    }

    // Every write goes through the queue so that delays and chunking keep the
    // order of replies; an undelayed, unchunked reply goes straight out.
    void enqueue(Session &s, const QByteArray &bytes, int chunk, int gapMs = 1)
    {
        if (bytes.isEmpty() || s.closing)
            return;
        const int delay = std::max(0, m_owner->options().delayMs);
        const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
        if (delay == 0 && chunk <= 0 && s.queue.empty()) {
            s.socket->write(bytes);
            return;
        }
        qint64 due = std::max(now + delay, s.lastDue);
        if (chunk <= 0) {
            s.queue.push_back({due, bytes, 0});
        } else {
            for (qsizetype at = 0; at < bytes.size(); at += chunk) {
                // At least a millisecond between pieces, so they reach the
                // peer as separate reads rather than one coalesced segment.
                due = std::max(due, s.lastDue + gapMs);
                s.queue.push_back({due, bytes.mid(at, chunk), gapMs});
                s.lastDue = due;
            }
        }
        s.lastDue = std::max(s.lastDue, due);
        pump(s);
    }

    void pump(Session &s)
    {
        const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
        while (!s.queue.empty() && s.queue.front().due <= now) {
            const bool spaced = s.queue.front().gap > 0;
            s.socket->write(s.queue.front().bytes);
            s.socket->flush();
            s.queue.pop_front();
            // A late timer must not let pieces catch up and leave together.
            if (spaced && !s.queue.empty() && s.queue.front().gap > 0) {
                s.queue.front().due = std::max(s.queue.front().due, now + s.queue.front().gap);
                s.lastDue = std::max(s.lastDue, s.queue.front().due);
            }
        }
        if (!s.queue.empty()) {
            s.sendTimer->start(static_cast<int>(s.queue.front().due - now));
            return;
        }
        if (s.closing) {
            QTcpSocket *socket = s.socket;
            QTimer::singleShot(0, socket, [socket] { socket->disconnectFromHost(); });
        }
    }

    void topUpFlood(Session &s)
    {
        while (s.floodLeft > 0 && !s.closing && s.socket->bytesToWrite() < kFloodHighWater) {
            QByteArray batch;
            batch.reserve(static_cast<qsizetype>(std::min(s.floodLeft, kFloodBatch + kFloodLine)));
            while (s.floodLeft > 0 && batch.size() < kFloodBatch) {
                const qsizetype before = batch.size();
                appendFloodLine(batch, ++s.floodLineNo);
                if (batch.size() - before > s.floodLeft)
                    batch.truncate(before +
                                   static_cast<qsizetype>(s.floodLeft)); // the last line is cut short
                s.floodLeft -= batch.size() - before;
            }
            s.socket->write(batch);
        }
    }

    void tick()
    {
        m_owner->runPendingCalls();
        if (m_stopped)
            return; // the owner may already be tearing the worker down
        const qint64 now = m_clock.elapsed();
        m_machine.advance(now - m_lastTick);
        m_lastTick = now;
        deliverAsync();
    }

    Server *m_owner;
    Machine m_machine;
    QTcpServer *m_tcp = nullptr;
    QTimer *m_live = nullptr;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    bool m_stopped = false;
    std::map<QTcpSocket *, std::unique_ptr<Session>> m_sessions;
};

// ---------------------------------------------------------------------------

Server::Server(const Options &opt) : m_opt(opt)
{
    m_thread.setObjectName(QStringLiteral("quorin-sim"));
    m_worker = new ServerWorker(this);
    m_worker->moveToThread(&m_thread);
    ServerWorker *w = m_worker;
    // Emitted on the new thread, where the worker lives: a direct call.
    QObject::connect(&m_thread, &QThread::started, w, [w] { w->begin(); });
    m_thread.start();
}

Server::~Server()
{
    if (m_thread.isRunning()) {
        ServerWorker *w = m_worker;
        QThread *t = &m_thread;
        runOnThread([w, t] {
            w->shutdown();
            t->quit();
        });
        m_thread.wait();
    }
    delete m_worker;
}

void Server::runOnThread(const std::function<void()> &fn)
{
    if (QThread::currentThread() == &m_thread) {
        fn();
        return;
    }
    Call call{&fn, false};
    std::unique_lock<std::mutex> lock(m_mutex);
    m_calls.push_back(&call);
    m_callDone.wait(lock, [&call] { return call.done; });
}

void Server::runPendingCalls()
{
    for (;;) {
        Call *call = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_calls.empty())
                return;
            call = m_calls.front();
            m_calls.pop_front();
        }
        (*call->fn)();
        {
            // The caller may return (and drop call) as soon as this is set.
            std::lock_guard<std::mutex> lock(m_mutex);
            call->done = true;
        }
        m_callDone.notify_all();
    }
}

bool Server::start()
{
    const quint16 wanted = options().port;
    bool ok = false;
    quint16 actual = 0;
    ServerWorker *w = m_worker;
    runOnThread([w, wanted, &ok, &actual] { ok = w->listen(wanted, &actual); });
    if (ok) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_port = actual;
    }
    return ok;
}

quint16 Server::port() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port;
}

QByteArray Server::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

QStringList Server::commands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

void Server::clearReceived()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
    m_commands.clear();
}

int Server::connectionCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

void Server::withMachine(const std::function<void(Machine &)> &fn)
{
    ServerWorker *w = m_worker;
    runOnThread([w, &fn] {
        fn(w->machine());
        w->deliverAsync();
    });
}

void Server::setOptions(const Options &opt)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const quint16 port = m_opt.port;
        m_opt = opt;
        m_opt.port = port;
    }
    ServerWorker *w = m_worker;
    runOnThread([w] { w->optionsChanged(); });
}

Options Server::options() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_opt;
}

bool Server::waitForCommand(const QString &line, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_commandArrived.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                     [this, &line] { return m_commands.contains(line); });
}

void Server::setRecording(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recording = on;
}

void Server::noteReceived(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_recording)
        m_received += bytes;
}

void Server::noteCommand(const QString &line)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_recording)
            m_commands << line;
    }
    m_commandArrived.notify_all();
}

void Server::noteConnection()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_connections;
}

} // namespace sim
