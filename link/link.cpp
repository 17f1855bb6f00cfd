#include "link/link.h"

#include "core/dialogs.h"
#include "link/protocol.h"
#include "link/sendpath.h"
#include "link/sjis.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>
#include <mutex>

Q_LOGGING_CATEGORY(lcLink, "quorin.link")

namespace wire {

// A timer a coroutine sleeps on (`co_await alarm.rings()`). It rings once: when its
// time is up, when a reply (or the link going down) wakes the wait early, or
// soon after the link is abandoned. An answer resumes its sleeper directly,
// from the end of the receive slice that completed it: Qt's signal awaiter
// would resume it through a queued call, one more posted event and turn of
// the event loop for every exchange.
class Alarm : public QObject
{
    Q_OBJECT

public:
    explicit Alarm(QObject *parent = nullptr) : QObject(parent)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        // Queued: the sleeper may end and destroy this alarm and its timer.
        connect(&m_timer, &QTimer::timeout, this, &Alarm::ringNow, Qt::QueuedConnection);
    }
    void set(std::chrono::milliseconds after)
    {
        m_deadline = QDeadlineTimer(after, Qt::PreciseTimer);
        m_timer.start(after);
    }
    // Rings from the event loop: the sleeper resumes on a clean stack.
    void ringSoon()
    {
        if (!m_rung)
            QMetaObject::invokeMethod(this, &Alarm::ringNow, Qt::QueuedConnection);
    }
    // Resumes the sleeper on this stack; the caller touches nothing the
    // sleeper may have changed or destroyed (this alarm included) after it.
    void ringNow()
    {
        if (m_rung)
            return;
        m_rung = true;
        if (const std::coroutine_handle<> sleeper = std::exchange(m_sleeper, {}))
            sleeper.resume();
    }

    // co_await alarm.rings(): suspends until it rings (at once if it has).
    struct Rings
    {
        Alarm *alarm;
        bool await_ready() const noexcept { return alarm->m_rung; }
        void await_suspend(std::coroutine_handle<> sleeper) noexcept { alarm->m_sleeper = sleeper; }
        void await_resume() const noexcept {}
    };
    Rings rings() { return Rings{this}; }
    // co_await alarm.by(d): rings after `d` at the latest, or when woken.
    // A deadline still set from before and no later is kept, so that it may
    // ring early: the sleeper looks at the time again when woken, and a
    // timer left running costs less than one restarted for every exchange.
    Rings by(std::chrono::milliseconds d)
    {
        m_rung = false;
        if (!m_timer.isActive() || m_deadline > QDeadlineTimer(d, Qt::PreciseTimer))
            set(d);
        return rings();
    }

private:
    QTimer m_timer;
    QDeadlineTimer m_deadline;
    bool m_rung = false;
    std::coroutine_handle<> m_sleeper;
};

namespace {
// The time-out alert shows the end of what arrived: a half-received listing
// in full would not fit on the screen.
constexpr qsizetype kTimeoutTextLimit = 2000;
// What Keep::Answer keeps of a reply, and how far it may grow before the
// front is dropped (dropping in large steps keeps appending linear).
constexpr qsizetype kAnswerKeep = 64 * 1024;
constexpr qsizetype kAnswerSlack = 64 * 1024;
// One slice of receiving: at most this much is read before the event loop
// gets a turn, so a flood never holds the window.
constexpr qint64 kReadSlice = 16 * 1024;
// The prompts that answer the password and the login's "CMD$ 0", and how long
// the first action waits for them at most.
constexpr qsizetype kLoginPrompts = 2;
constexpr std::chrono::milliseconds kLoginSettle{2000};

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

Link::Link(Dialogs *dialogs, QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_answerAlarm(new Alarm(this))
{
}

Link::~Link()
{
    abandon();
}

void Link::setState(State state, Reason reason)
{
    if (m_state == state)
        return;
    m_state = state;
    if (state == State::Disconnected || state == State::Closing)
        ++m_generation;
    emit stateChanged(state, reason);
}

// ---------------------------------------------------------------- connecting

QCoro::Task<bool> Link::open(QString address)
{
    // A goodbye in progress ends first (close() rings when it is done).
    while (m_state == State::Closing) {
        Alarm alarm;
        m_alarms.append(&alarm);
        alarm.set(m_timing.closingPause + ms(100));
        co_await alarm.rings();
        m_alarms.removeAll(&alarm);
    }
    if (m_abandoned)
        co_return false;
    if (m_socket)
        dropConnection();
    m_address = address;
    m_bkpMode = false;
    m_reply.clear();
    m_receiver.reset();
    ++m_generation;
    setState(State::Connecting, Reason::User);
    const quint64 generation = m_generation;
    const Address addr = parseAddress(address, kControllerPort);

    bool ok = false;
    if (addr.ok) {
        m_socket = new QTcpSocket(this);
        QTcpSocket *socket = m_socket;
        Alarm alarm;
        m_alarms.append(&alarm);
        connect(socket, &QTcpSocket::connected, &alarm, &Alarm::ringSoon);
        connect(socket, &QTcpSocket::errorOccurred, &alarm, &Alarm::ringSoon);
        // An address given as numbers needs no name lookup (which Qt runs on
        // a thread of its pool). Unbuffered: a write goes to the socket at
        // once, without the write notifier switched on and off around it
        // (each switch wakes the event loop for a turn that finds nothing),
        // and a read takes from the socket what the link asks for.
        const QHostAddress numeric(addr.host);
        const QIODevice::OpenMode mode = QIODevice::ReadWrite | QIODevice::Unbuffered;
        if (numeric.isNull())
            socket->connectToHost(addr.host, addr.port, mode);
        else
            socket->connectToHost(numeric, addr.port, mode);
        alarm.set(m_timing.connect);
        co_await alarm.rings();
        m_alarms.removeAll(&alarm);
        ok = generation == m_generation && m_socket == socket &&
             socket->state() == QAbstractSocket::ConnectedState;
    } else {
        // Nothing to connect to: the same fixed wait as an unreachable host.
        const bool waited = co_await pause(m_timing.connect);
        Q_UNUSED(waited);
    }
    if (generation != m_generation) // Disconnect or a new open meanwhile
        co_return false;
    if (!ok) {
        qCInfo(lcLink) << "connect: the connection could not be opened";
        abortSocket();
        setState(State::Disconnected, Reason::ConnectFailed);
        co_return false;
    }
    qCInfo(lcLink) << "connect: the connection is open";
    onConnected();
    co_return true;
}

void Link::onConnected()
{
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &Link::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &Link::onSocketGone);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &Link::onSocketGone);
    setState(State::LoggingIn, Reason::User);
    onReadyRead(); // what came with the connection
}

QCoro::Task<> Link::close()
{
    if (!m_socket) {
        if (m_state != State::Disconnected) { // a connect in progress gives up
            ringAll();
            setState(State::Disconnected, Reason::User);
        }
        co_return;
    }
    if (m_state == State::Closing)
        co_return;
    m_bkpMode = false;
    // Closing first: the running wait ends and polling stops (saying its own
    // goodbye), then the link says goodbye.
    setState(State::Closing, Reason::User);
    ringAll();
    m_queue.clear(); // a click queued behind the wait: never after the goodbye
    qCInfo(lcLink) << "disconnect: saying goodbye";
    QTcpSocket *socket = m_socket;
    sendString(QLatin1String(protocol::kMachineModeOff));
    Alarm alarm;
    m_alarms.append(&alarm);
    alarm.set(m_timing.closingPause);
    co_await alarm.rings();
    m_alarms.removeAll(&alarm);
    if (m_socket != socket) // abandoned meanwhile
        co_return;
    m_socket->disconnect(this);
    m_socket->disconnectFromHost();
    m_socket->deleteLater();
    m_socket = nullptr;
    m_bkpMode = false;
    setState(State::Disconnected, Reason::User);
    ringAll(); // a connect waiting for the goodbye goes on
}

void Link::abandon()
{
    // For good: nothing waits on this link again, nor connects it.
    m_abandoned = true;
    dropConnection();
    // Every suspended wait and pause returns now, on this stack, while
    // whatever it belongs to is still there: rung at the loop's next turn it
    // would resume into a window already gone. What the waits do next
    // returns at once (the link is down and abandoned).
    const auto alarms = m_alarms;
    for (const QPointer<Alarm> &alarm : alarms)
        if (alarm)
            alarm->ringNow();
}

void Link::abortSocket()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

void Link::dropConnection()
{
    abortSocket();
    if (m_state != State::Disconnected)
        setState(State::Disconnected, Reason::User);
    // Every suspended wait and pause returns at the loop's next turn, not at
    // its next timer.
    ringAll();
}

void Link::ringAll()
{
    const auto alarms = m_alarms;
    for (const QPointer<Alarm> &alarm : alarms)
        if (alarm)
            alarm->ringSoon();
}

void Link::onSocketGone()
{
    if (!m_socket)
        return;
    qCInfo(lcLink).noquote() << "the connection ended: " + m_socket->errorString();
    if (m_state == State::Closing)
        return; // our own goodbye; close() finishes
    // The last words before the end still count.
    m_readPosted = false;
    while (readOnce()) {
    }
    showDisplay();
    if (std::exchange(m_answered, false) && m_waitAlarm)
        m_waitAlarm->ringSoon(); // answered before the end
    if (!m_socket)
        return;
    takeDown(Reason::PeerClosed, waiting() || busy());
}

// The time-out sequence, the controller closing, a refused login: polling stops (the Closing
// state), the socket goes, the pending wait fails, the alert opens once the slot is free.
void Link::takeDown(Reason reason, bool alert)
{
    const QString arrived = m_reply.right(kTimeoutTextLimit);
    m_bkpMode = false;
    setState(State::Closing, reason);
    abortSocket();
    setState(State::Disconnected, reason);
    ringAll();
    m_queue.clear(); // as on Disconnect: a click queued behind the wait has no connection left to go to
    if (alert)
        alertWhenFree(QLatin1String(reason == Reason::LoginRefused ? "Login Refused" : "Receive Timeout") +
                      QStringLiteral("\n\n") + arrived);
}

// The login's last answer ("CMD$ 0") goes out right behind the password: two
// prompts are on their way when the link is up. The first action waits for
// them, so that its own wait does not end on one of them. A controller that
// sends fewer is waited for only briefly.
QCoro::Task<> Link::settleLogin()
{
    Alarm alarm;
    m_alarms.append(&alarm);
    m_loginAlarm = &alarm;
    if (m_reply.count(QStringLiteral("\n#")) < kLoginPrompts) {
        alarm.set(kLoginSettle);
        co_await alarm.rings();
    }
    m_loginAlarm = nullptr;
    m_alarms.removeAll(&alarm);
}

// ---------------------------------------------------------------- receiving

void Link::startReceiving()
{
    onReadyRead();
}

void Link::onReadyRead()
{
    if (m_readPosted || !m_socket)
        return;
    readSlice();
}

void Link::readSlice()
{
    m_readPosted = false;
    const qint64 got = readOnce();
    if (got == 0) {
        // The socket reads unbuffered, and then the controller's end shows
        // only as a read that finds it (Qt says nothing of it by a signal).
        if (m_socket && m_state != State::Connecting && m_socket->state() != QAbstractSocket::ConnectedState)
            onSocketGone();
        return;
    }
    showDisplay();
    if (m_socket && got == kReadSlice) {
        // More may wait: the rest comes after the loop's next turn (a short slice took all there was).
        m_readPosted = true;
        QTimer::singleShot(0, this, &Link::readSlice);
    }
    // The answered wait goes on at once, on this stack: this slice is done
    // with, and a reply is not kept waiting for another turn of the loop.
    if (std::exchange(m_answered, false) && m_waitAlarm)
        m_waitAlarm->ringNow();
}

void Link::showDisplay()
{
    if (m_display.isEmpty())
        return;
    const QString text = std::exchange(m_display, QString());
    const QString last = std::exchange(m_lastChunk, QString());
    emit received(text, last);
}

qint64 Link::readOnce()
{
    if (!m_socket || m_state == State::Connecting)
        return 0;
    const QByteArray bytes = m_socket->read(kReadSlice);
    if (bytes.isEmpty())
        return 0;
    if (m_tap)
        m_tap->received(bytes);
    ++m_arrivals;
    const ChunkResult r = m_receiver.onChunk(bytes, waiting());
    for (const QString &line : r.trace)
        trace(line);
    for (const QString &line : r.answers) {
        m_reply.clear();
        bool ok = false;
        const QByteArray answer = sjisEncode(wireLine(line), &ok);
        if (!writeBytes(answer, line != QLatin1String(protocol::kMachineModeOff)))
            qCWarning(lcLink) << "login answer: the connection is not open";
    }
    if (r.breakpoint)
        m_bkpMode = true;

    // The prompt may straddle two chunks: the last character before counts.
    const bool lineEndBefore = !m_reply.isEmpty() && m_reply.back() == QLatin1Char('\n');
    appendReply(r.text);
    if (r.loginRefused) {
        takeDown(Reason::LoginRefused, true);
    } else if (m_wait) {
        if (!m_wait->done && waitSatisfied(r.text, lineEndBefore)) {
            m_wait->done = true;
            // An answer ending in "#?" says the program still stands at a
            // breakpoint: only an ordinary prompt ends the mode.
            if (m_wait->wait.until == Wait::Until::Prompt && !r.breakpoint &&
                m_wait->wait.atBreakpoint == Wait::AtBreakpoint::Leave && !m_readingInPlace)
                m_bkpMode = false;
            m_answered = true;
        } else if (m_waitAlarm && m_wait->wait.count == Wait::Count::FromLastByte) {
            m_waitAlarm->ringSoon(); // the time-out counts from now
        }
    } else if (!r.display.isEmpty()) {
        m_display += r.display;
        m_lastChunk = r.display;
    }
    if (m_loginAlarm && m_reply.count(QStringLiteral("\n#")) >= kLoginPrompts)
        m_loginAlarm->ringSoon();
    if (r.loggedIn && m_state == State::LoggingIn) {
        // First in the queue, before anyone told of Ready can queue an action.
        enqueue([this] { return settleLogin(); });
        setState(State::Ready, Reason::User);
    }
    return bytes.size();
}

void Link::appendReply(const QString &text)
{
    m_reply += text;
    const bool keepAll = m_wait && m_wait->wait.keep == Wait::Keep::Whole;
    if (!keepAll && m_reply.size() > kAnswerKeep + kAnswerSlack)
        m_reply.remove(0, m_reply.size() - kAnswerKeep);
}

bool Link::waitSatisfied(const QString &text, bool lineEndBefore) const
{
    if (m_wait->wait.until == Wait::Until::Hash)
        return text.contains(QLatin1Char('#'));
    return text.contains(QStringLiteral("\n#")) || (lineEndBefore && text.startsWith(QLatin1Char('#')));
}

// ---------------------------------------------------------------- sending

bool Link::writeBytes(const QByteArray &bytes, bool secret)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Noted before it goes out: a transcript shows the command first.
    if (m_tap)
        m_tap->sent(bytes, secret);
    const bool written = m_socket->write(bytes) == bytes.size();
    // Out now, not at the event loop's next turn.
    m_socket->flush();
    return written;
}

void Link::sendString(const QString &sendstring, Breakpoint breakpoint)
{
    if (breakpoint == Breakpoint::Leave)
        m_bkpMode = false;
    if (!m_socket)
        return;
    m_reply.clear();
    const QString line = wireLine(sendstring);
    bool ok = false;
    QByteArray bytes = commandBytes(line, &ok);
    if (!ok) {
        alertWhenFree(QStringLiteral("Encode Error\n\n") + line);
        bytes = QByteArray("\r");
    }
    m_sentAt.start();
    if (!writeBytes(bytes))
        qCWarning(lcLink) << "send: the connection is not open";
}

bool Link::sendRaw(const QByteArray &bytes, Breakpoint breakpoint)
{
    if (breakpoint == Breakpoint::Leave)
        m_bkpMode = false;
    m_reply.clear();
    m_sentAt.start();
    return writeBytes(bytes);
}

// ---------------------------------------------------------------- waits

// Not a coroutine of its own: the answer's wait is the exchange's, and an
// exchange costs one coroutine frame, not two.
QCoro::Task<std::optional<QString>> Link::exchange(const QString &command, Wait wait)
{
    if (isUp(m_state))
        sendString(command);
    return answer(wait); // fails at once when the link is not up
}

QCoro::Task<std::optional<QString>> Link::answer(Wait wait)
{
    if (!isUp(m_state) || m_wait)
        co_return std::nullopt;
    const quint64 generation = m_generation;
    PendingWait pending{wait, false, m_arrivals};
    m_wait = &pending;
    if (waitSatisfied(m_reply, false))
        pending.done = true;
    // One alarm serves every wait (there is one at a time): made once, it
    // spares each line of a load the making of a timer. A ring left over
    // from an earlier wait only turns this loop once more.
    Alarm &alarm = *m_answerAlarm;
    m_alarms.append(&alarm);
    m_waitAlarm = &alarm;
    QElapsedTimer started;
    started.start();
    bool timedOut = false;
    while (!pending.done) {
        if (generation != m_generation || !isUp(m_state))
            break;
        if (wait.count == Wait::Count::FromLastByte && pending.arrivals != m_arrivals) {
            pending.arrivals = m_arrivals;
            started.restart();
        }
        const qint64 elapsedMs = started.elapsed();
        const qint64 seconds = elapsedMs / 1000;
        if (seconds > 1)
            emit waitProgress(seconds);
        if (seconds >= m_timing.receive.count()) {
            // The count that reached the time-out is shown before the
            // alert takes its place.
            co_await alarm.by(ms(10));
            timedOut = !pending.done;
            break;
        }
        // Wakes on the next whole second (the progress count), or earlier
        // when something arrives.
        co_await alarm.by(ms(1000 - elapsedMs % 1000));
    }
    m_alarms.removeAll(&alarm);
    m_waitAlarm = nullptr;
    m_wait = nullptr;
    if (timedOut && generation == m_generation) {
        takeDown(Reason::TimedOut, true);
        co_return std::nullopt;
    }
    if (!pending.done || generation != m_generation)
        co_return std::nullopt;
    if (wait.until == Wait::Until::Prompt) {
        // An answer's breakpoint prompt reads as a plain prompt; a listing
        // or a report is kept as it came.
        if (wait.keep == Wait::Keep::Answer)
            m_reply.replace(QStringLiteral("\n#?"), QStringLiteral("\n#"));
        emit replied(m_reply, m_sentAt.isValid() ? m_sentAt.nsecsElapsed() / 1000 : 0);
    }
    co_return m_reply;
}

QCoro::Task<bool> Link::pause(ms duration)
{
    if (m_abandoned)
        co_return false;
    const quint64 generation = m_generation;
    Alarm alarm;
    m_alarms.append(&alarm);
    alarm.set(duration);
    co_await alarm.rings();
    m_alarms.removeAll(&alarm);
    const bool sameConnection = generation == m_generation && isUp(m_state);
    co_return sameConnection;
}

} // namespace wire

#include "link.moc"
