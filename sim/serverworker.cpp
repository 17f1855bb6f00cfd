// The simulator thread's work: login, fault modes, sending, and the tick
// that keeps the simulated machine alive.
#include "sim/serverworker.h"

#include "link/protocol.h"
#include "link/sjis.h"
#include "sim/ownprocess.h"
#include "sim/server.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>

using namespace std::chrono_literals;

namespace sim {

namespace {

constexpr auto kLiveInterval = 10ms;
constexpr qint64 kFloodLine = 40;               // bytes per flood line, CR LF included
constexpr qint64 kFloodBatch = 64 * 1024;       // bytes handed to the socket at once
constexpr qint64 kFloodHighWater = 1024 * 1024; // refill below this much unsent data
// A client that reads nothing while this much of its replies waits is
// dropped: a few bytes of commands (S_MBK -1, LIST) ask for megabytes, which
// would otherwise pile up in memory until the simulator dies.
constexpr qint64 kBacklogCap = 32 * 1024 * 1024;
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

ServerWorker::ServerWorker(Server *owner) : m_owner(owner)
{
    m_machine.setClock(QDateTime::currentDateTime());
}

void ServerWorker::begin()
{
    m_clock.start();
    m_lastTick = 0;
    m_live = new QTimer(this);
    m_live->setInterval(kLiveInterval);
    QObject::connect(m_live, &QTimer::timeout, this, [this] { tick(); });
    m_live->start();
    m_owner->runPendingCalls();
}

bool ServerWorker::listen(quint16 port, quint16 *actual)
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

void ServerWorker::shutdown()
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

void ServerWorker::optionsChanged()
{
    const Options o = m_owner->options();
    for (auto &entry : m_sessions) {
        Session &s = *entry.second;
        s.lines = 0;
        if (o.stallAfter < 0 && o.stallMid < 0)
            s.stalled = false;
    }
}

void ServerWorker::deliverAsync()
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

ServerWorker::Session *ServerWorker::find(QTcpSocket *socket)
{
    const auto it = m_sessions.find(socket);
    return it == m_sessions.end() ? nullptr : it->second.get();
}

void ServerWorker::acceptAll()
{
    const bool thisProcessOnly = m_owner->options().thisProcessOnly;
    while (QTcpSocket *socket = m_tcp->nextPendingConnection()) {
        if (thisProcessOnly && !connectedFromThisProcess(socket->peerAddress(), socket->peerPort(),
                                                         socket->localAddress(), socket->localPort())) {
            // Not a word, not even the banner: a stranger learns nothing of
            // what listens here.
            socket->abort();
            socket->deleteLater();
            continue;
        }
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

void ServerWorker::readFrom(Session &s)
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

qsizetype ServerWorker::loginBytes(Session &s, const QByteArray &bytes, qsizetype i)
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
    const QString text = s.overflow ? QString() : wire::sjisDecode(raw).trimmed();
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
        s.input = Machine::Stream();
        sendReply(s, m_machine.handleLine(QString()));
        s.floodLeft = m_owner->options().flood;
        topUpFlood(s);
    } else {
        s.stage = Stage::Login;
        enqueue(s,
                "\r\n\t" + wire::sjisEncode(QStringLiteral("ログインできません (Login incorrect)")) +
                    kLoginPrompt,
                0);
    }
    return i + 1;
}

void ServerWorker::feedMachine(Session &s, const QByteArray &bytes)
{
    m_machine.feed(s.input, bytes, [this, &s](const Machine::Input &in) {
        const Options o = m_owner->options();
        if (in.kind != Machine::Input::Kind::Line) {
            if (!s.stalled)
                sendReply(s, in.reply);
            return !s.closing;
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
        return !s.closing;
    });
}

void ServerWorker::closeWhenSent(Session &s)
{
    s.closing = true;
    s.floodLeft = 0;
    pump(s);
}

void ServerWorker::sendReply(Session &s, const QByteArray &bytes)
{
    const Options o = m_owner->options();
    const QByteArray out = o.garbage ? withGarbage(bytes) : bytes;
    if (o.slowBps > 0)
        enqueue(s, out, std::max(1, o.slowBps / 100), 10); // a hundredth of a second's worth every 10 ms
    else
        enqueue(s, out, o.chunk);
    if (!s.closing && s.socket->bytesToWrite() + s.queued > kBacklogCap) {
        s.closing = true;
        s.floodLeft = 0;
        s.queue.clear();
        s.queued = 0;
        s.socket->abort();
    }
}

void ServerWorker::enqueue(Session &s, const QByteArray &bytes, int chunk, int gapMs)
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
    s.queued += bytes.size();
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

void ServerWorker::pump(Session &s)
{
    const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
    while (!s.queue.empty() && s.queue.front().due <= now) {
        const bool spaced = s.queue.front().gap > 0;
        s.socket->write(s.queue.front().bytes);
        s.socket->flush();
        s.queued -= s.queue.front().bytes.size();
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
    topUpFlood(s);
    if (s.closing) {
        QTcpSocket *socket = s.socket;
        QTimer::singleShot(0, socket, [socket] { socket->disconnectFromHost(); });
    }
}

void ServerWorker::topUpFlood(Session &s)
{
    // Nothing of the flood overtakes a reply still waiting in the queue (the
    // login's prompt, a late or split answer); pump() goes on once it is out.
    if (!s.queue.empty())
        return;
    while (s.floodLeft > 0 && !s.closing && s.socket->bytesToWrite() < kFloodHighWater) {
        QByteArray batch;
        batch.reserve(static_cast<qsizetype>(std::min(s.floodLeft, kFloodBatch + kFloodLine)));
        while (s.floodLeft > 0 && batch.size() < kFloodBatch) {
            const qsizetype before = batch.size();
            appendFloodLine(batch, ++s.floodLineNo);
            if (batch.size() - before > s.floodLeft)
                batch.truncate(before + static_cast<qsizetype>(s.floodLeft)); // the last line is cut short
            s.floodLeft -= batch.size() - before;
        }
        s.socket->write(batch);
    }
}

void ServerWorker::tick()
{
    m_owner->runPendingCalls();
    if (m_stopped)
        return; // the owner may already be tearing the worker down
    const qint64 now = m_clock.elapsed();
    m_machine.advance(now - m_lastTick);
    m_lastTick = now;
    for (auto &entry : m_sessions) {
        Session &s = *entry.second;
        const QByteArray answer = m_machine.endQuietBlock(s.input);
        if (!answer.isEmpty() && !s.stalled && !s.closing)
            sendReply(s, answer);
    }
    deliverAsync();
}

} // namespace sim
