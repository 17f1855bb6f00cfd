#include "link/link.h"

#include "app/dialogs.h"
#include "link/connection.h"
#include "link/protocol.h"
#include "link/receivehandler.h"
#include "link/sendpath.h"
#include "link/sjis.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>
#include <cstdio>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

namespace link {

namespace {
constexpr quint16 kControllerPort = 23;
// The time-out alert shows the end of what arrived: a half-received listing
// in full would not fit on the screen.
constexpr qsizetype kTimeoutTextLimit = 2000;

std::mutex g_traceMutex;
std::function<void(const QString &)> g_traceSink;
} // namespace

void trace(const QString &line)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (g_traceSink) {
        g_traceSink(line);
        return;
    }
    const QByteArray out = line.toUtf8();
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void setTraceSink(std::function<void(const QString &)> sink)
{
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceSink = std::move(sink);
}

void delay(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000.0 + 0.5), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void doEvents()
{
    delay(0.005);
}

Link::Link(Dialogs *dialogs, QObject *parent) : QObject(parent), m_dialogs(dialogs) {}

Link::~Link()
{
    m_conn.reset(); // joins the connection thread before the handlers go
}

bool Link::isConnected() const
{
    // After a connect time-out the abandoned connection object stays, but
    // nothing can be waited for on it.
    return m_conn != nullptr && !m_conn->wasCancelled();
}

void Link::startReceiving()
{
    if (m_conn)
        m_conn->startReceiving();
}

bool Link::open(const QString &address)
{
    m_state.setWaitPrompt(false);
    m_state.setWaitSharp(false);
    m_state.setBkpMode(false);
    m_closing = false;
    m_peerGone = false;
    const quint64 generation = ++m_generation;
    m_address = address;
    emit opening(address);
    const Address addr = parseAddress(address, kControllerPort);

    // The previous connection (if any) goes first: its thread is joined, so no
    // chunk of it can still be on its way into the new receive state.
    m_conn.reset();
    m_state.clearRcv();
    auto conn = std::make_unique<Connection>();
    Connection *raw = conn.get();
    // Login answers are sent from the connection thread straight to this
    // connection, as sendString would send them.
    m_receiver = std::make_unique<ReceiveHandler>(m_state, [this, raw](const QString &line) {
        m_state.clearRcv();
        bool ok = false;
        const QByteArray bytes = sjisEncode(wireLine(line), &ok);
        if (!write(*raw, bytes, line != QLatin1String("CMD$ 0")))
            qCWarning(lcLink) << "sendString(sendstring:), not connected";
    });
    raw->setChunkHandler([this](const QByteArray &bytes) { onChunk(bytes); });
    raw->setEndHandler([this, generation](const QString &reason) { onStreamEnd(reason, generation); });
    m_conn = std::move(conn);

    bool ok = false;
    if (addr.ok) {
        ok = m_conn->open(addr.host, addr.port, m_connectTimeout);
    } else {
        // Nothing to connect to: the same fixed wait as an unreachable host.
        QThread::msleep(static_cast<unsigned long>(m_connectTimeout.count()));
    }
    if (!ok) {
        qCInfo(lcLink) << "Timeout";
        m_conn->close(); // the cancelled object stays
        return false;
    }
    qCInfo(lcLink) << "Success";
    emit connectedChanged(true);
    m_conn->startReceiving();
    return true;
}

void Link::close()
{
    ++m_generation;
    m_state.setBkpMode(false);
    m_closing = true;
    m_state.notifyAll();
    emit aboutToClose();
    qCInfo(lcLink) << "disconnect()";
    if (!m_conn)
        return;
    sendString(QLatin1String(protocol::kMachineModeOff));
    QThread::msleep(static_cast<unsigned long>(m_disconnectPause.count()));
    m_conn->close();
    m_conn.reset();
    m_state.setBkpMode(false);
    emit connectedChanged(false);
}

void Link::onChunk(const QByteArray &bytes)
{
    if (!m_receiver)
        return;
    // Counted before the chunk reaches rcvBuff: whoever sees a reply there
    // must also see that its display is still to come.
    ++m_pendingDisplays;
    if (WireTap *tap = m_tap.load())
        tap->received(bytes);
    const ChunkResult r = m_receiver->onChunk(bytes);
    if (r.loggedIn)
        QMetaObject::invokeMethod(this, &Link::loggedIn, Qt::QueuedConnection);
    for (const QString &line : r.trace)
        trace(line);
    if (r.scheduleDisplay)
        postDisplay(r.display);
    --m_pendingDisplays;
}

void Link::postDisplay(const QString &text)
{
    // Chunks that queue up while the main thread is busy are handed out
    // together: the console clean-up works on the whole text, so the result
    // is the same as showing them one by one, at a fraction of the cost.
    {
        std::lock_guard<std::mutex> lock(m_displayMutex);
        m_displayBacklog += text;
        m_lastChunk = text;
        if (m_displayPosted)
            return;
        m_displayPosted = true;
    }
    ++m_pendingDisplays;
    QMetaObject::invokeMethod(
        this,
        [this] {
            QString all;
            QString last;
            {
                std::lock_guard<std::mutex> lock(m_displayMutex);
                all.swap(m_displayBacklog);
                last.swap(m_lastChunk);
                m_displayPosted = false;
            }
            emit received(all, last);
            --m_pendingDisplays;
        },
        Qt::QueuedConnection);
}

void Link::onStreamEnd(const QString &reason, quint64 generation)
{
    qCInfo(lcLink).noquote() << " did receive, " + reason;
    if (generation != m_generation)
        return;
    // A pending wait ends at once; the wake-up goes through the slot's lock so
    // that a waiter about to sleep cannot miss it.
    m_peerGone = true;
    m_state.locked([](QString &, bool &, bool &, bool &, bool &) { return 0; });
    m_state.notifyAll();
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_generation && !busy())
                emit peerClosed();
        },
        Qt::QueuedConnection);
}

void Link::sendString(const QString &sendstring)
{
    if (!m_conn)
        return;
    m_state.clearRcv();
    const QString line = wireLine(sendstring);
    bool ok = false;
    QByteArray bytes = sjisEncode(line, &ok);
    if (!ok) {
        m_dialogs->alert(QStringLiteral("Encode Error\n\n") + line);
        bytes = QByteArray("\r");
    }
    m_sentAt.start();
    if (!m_conn || !write(*m_conn, bytes))
        qCWarning(lcLink) << "sendString(sendstring:), the connection is not open";
}

void Link::sendB(const QByteArray &bytes)
{
    m_state.clearRcv();
    if (!m_conn)
        return;
    m_sentAt.start();
    if (!write(*m_conn, bytes))
        qCWarning(lcLink) << "sendB(bytes:), the connection is not open";
}

bool Link::sendRaw(const QByteArray &bytes)
{
    if (!m_conn)
        return false;
    m_sentAt.start();
    return write(*m_conn, bytes);
}

bool Link::write(Connection &conn, const QByteArray &bytes, bool secret)
{
    // Noted before it goes out: the reply may be on its way in before send()
    // returns, and a transcript must show the command first.
    if (WireTap *tap = m_tap.load(); tap && conn.isOpen())
        tap->sent(bytes, secret);
    return conn.send(bytes);
}

bool Link::receivePrompt()
{
    if (!isConnected())
        return false;
    BusyScope busy(*this);
    // A wait belongs to the connection its command went out on.
    const quint64 generation = m_generation;
    QElapsedTimer started;
    started.start();
    while (m_state.waitPrompt()) {
        if (m_closing || generation != m_generation)
            return false;
        if (m_peerGone) {
            receiveTimeout();
            return false;
        }
        const qint64 elapsed = started.elapsed() / 1000;
        if (elapsed > 1) {
            emit waitProgress(elapsed);
            delay(0.01);
        }
        if (elapsed >= m_timeoutSeconds) {
            receiveTimeout();
            return false;
        }
        if (elapsed <= 1) {
            // The first two seconds sleep on the slot's condition variable
            // until the next whole second; the receive handler wakes us.
            const qint64 untilNextSecond = 1000 - started.elapsed() % 1000;
            m_state.sleepWhileWaitPrompt(ms(untilNextSecond),
                                         [this] { return m_closing.load() || m_peerGone.load(); });
        }
    }
    if (generation != m_generation)
        return false;
    if (m_sentAt.isValid())
        emit roundTrip(m_sentAt.nsecsElapsed() / 1000);
    emit waitSucceeded();
    m_state.rewriteBreakpointPrompt();
    return true;
}

void Link::receiveTimeout()
{
    // Taken first: stopping the polling sends a command, which empties it.
    const QString arrived = m_state.rcvBuff().right(kTimeoutTextLimit);
    emit aboutToClose();
    if (m_conn) {
        m_conn->close();
        m_conn.reset();
    }
    close();
    emit timedOut();
    m_dialogs->alert(QStringLiteral("Receive Timeout\n\n") + arrived);
}

bool Link::waitFlagCleared(LinkState::Flag flag, bool pump)
{
    if (!isConnected()) {
        m_state.clear(flag);
        return false;
    }
    if (m_peerGone) {
        m_state.clear(flag);
        receiveTimeout();
        return false;
    }
    BusyScope busy(*this);
    const quint64 generation = m_generation;
    // The time-out counts from the last byte received: a long listing or a
    // slow load is not given up while the controller is still sending.
    QElapsedTimer started;
    started.start();
    quint64 arrivals = m_state.arrivals();
    while (m_state.isSet(flag)) {
        if (m_closing || generation != m_generation) {
            m_state.clear(flag);
            return false;
        }
        if (m_peerGone) {
            m_state.clear(flag);
            receiveTimeout();
            return false;
        }
        if (m_state.arrivals() != arrivals) {
            arrivals = m_state.arrivals();
            started.restart();
        }
        const qint64 elapsed = started.elapsed() / 1000;
        if (elapsed >= m_timeoutSeconds) {
            m_state.clear(flag);
            receiveTimeout();
            return false;
        }
        if (pump)
            doEvents();
        else // short naps: a byte that comes during one restarts the count at most 0.1 s late
            m_state.sleepWhileSet(flag, ms(100 - started.elapsed() % 100),
                                  [this] { return m_closing.load() || m_peerGone.load(); });
    }
    return generation == m_generation;
}

void Link::commandExec(const QString &command)
{
    m_state.setWaitPrompt(true);
    sendString(command);
    receivePrompt();
}

std::optional<QString> Link::exchange(const QString &command)
{
    m_state.setWaitPrompt(true);
    sendString(command);
    if (!receivePrompt())
        return std::nullopt;
    return m_state.rcvBuff();
}

void Link::userAction(const std::function<void()> &action)
{
    if (m_busyDepth > 0) {
        m_deferred.push_back(action);
        return;
    }
    BusyScope busy(*this);
    action();
}

void Link::runDeferredActions()
{
    m_deferredPosted = false;
    while (m_busyDepth == 0 && !m_deferred.empty()) {
        auto action = std::move(m_deferred.front());
        m_deferred.pop_front();
        BusyScope busy(*this);
        action();
    }
}

Link::BusyScope::~BusyScope()
{
    if (--m_link.m_busyDepth == 0 && !m_link.m_deferred.empty() && !m_link.m_deferredPosted) {
        m_link.m_deferredPosted = true;
        QTimer::singleShot(0, &m_link, [link = &m_link] { link->runDeferredActions(); });
    }
}

} // namespace link
