// The one object that talks to the controller: the socket, the login, the
// send path, the exchange slot with its waits, the time-out sequence and the
// queue of actions. Everything here runs on the thread that owns the Link
// (the GUI thread): the socket is Qt's asynchronous one, and a wait is a
// coroutine suspended on a timer, never a sleep or a nested event loop. It
// knows nothing of widgets; what the window shows of it comes through its
// signals.
#pragma once

#include "link/receivehandler.h"
#include "link/wiretap.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class WatchLock;

class Dialogs;

namespace wire {

class Alarm;

// Writes one trace word to standard output (login echoes, "bkpmode",
// "Dec"/"Hex"...); tests may redirect them with setTraceSink.
void trace(const QString &line);
void setTraceSink(std::function<void(const QString &)> sink);

// Where the link stands. Up means LoggingIn or Ready: the socket is open and
// commands may go out (a controller that asks no login stays LoggingIn).
enum class State { Disconnected, Connecting, LoggingIn, Ready, Closing };
// The socket is up: logging in or logged in.
constexpr bool isUp(State state)
{
    return state == State::LoggingIn || state == State::Ready;
}
// Why the state changed; User also covers a successful connect.
enum class Reason { User, ConnectFailed, TimedOut, PeerClosed, LoginRefused };

// What a wait waits for, and how its time-out is counted.
struct Wait
{
    // Prompt: the prompt line that ends every answer. Hash: any '#' (a
    // program line accepted in load mode is answered by a bare '#').
    enum class Until { Prompt, Hash };
    // FromSend: the time-out counts from the start of the wait. FromLastByte:
    // it counts from the last byte received, so a long listing or a slow load
    // is not given up while the controller is still sending.
    enum class Count { FromSend, FromLastByte };
    // Answer: the reply's last 64 KiB is kept (every reply the pages read is
    // far shorter), so a flood during a wait cannot fill the memory. Whole:
    // everything is kept (listings).
    enum class Keep { Answer, Whole };
    // Leave: the answer's prompt ends the breakpoint mode. Stay: a read that
    // leaves a program stopped at a breakpoint where it stands (a listing with
    // no attention byte before it; a poll tick's reads stay as well).
    enum class AtBreakpoint { Leave, Stay };
    Until until = Until::Prompt;
    Count count = Count::FromSend;
    Keep keep = Keep::Answer;
    AtBreakpoint atBreakpoint = AtBreakpoint::Leave;
};

// A read that leaves a program stopped at a breakpoint where it stands, and
// the monitor knowing it (the poll's start and stop, the read-only tools, a
// listing with no attention byte before it).
inline constexpr Wait kInPlace{Wait::Until::Prompt, Wait::Count::FromSend, Wait::Keep::Answer,
                               Wait::AtBreakpoint::Stay};
// The answer to a console line, kept as it came to be shown so, "#?"
// included: at a breakpoint the send may have ended the mode (a step, a
// printed variable), and only the answer's own "#?" says that the program
// still stands there.
inline constexpr Wait kStopAnswer{Wait::Until::Prompt, Wait::Count::FromSend, Wait::Keep::Whole,
                                  Wait::AtBreakpoint::Stay};

class Link : public QObject
{
    Q_OBJECT

public:
    using ms = std::chrono::milliseconds;
    // One user action or poll tick: it holds the exchange slot until its
    // task ends.
    using Action = std::function<QCoro::Task<>()>;
    enum class IfBusy { Queue, Skip };

    struct Timing
    {
        ms connect{5000};      // a connect that has not succeeded by then failed
        ms closingPause{1000}; // between the goodbye and closing the socket
        // A wait with nothing received for this long (counted as its Wait
        // says) has timed out; the window's time-out field sets it.
        std::chrono::seconds receive{30};
    };
    // Whether a command ends the stop at a breakpoint (continue, trace, the
    // attention byte, the breakpoint and variable commands).
    enum class Breakpoint { Keep, Leave };

    explicit Link(Dialogs *dialogs, QObject *parent = nullptr);
    ~Link() override;

    // Opens the connection to `address` ("host" or "host:port", port 23 by
    // default); true once the socket is up (the login follows on its own).
    // A previous connection is dropped first, without a goodbye.
    QCoro::Task<bool> open(QString address);
    // The user's Disconnect: never queued. The running wait ends at once;
    // the goodbye ("CMD$ 0") goes out, the closing pause passes, the socket
    // closes.
    QCoro::Task<> close();
    // Drops the connection now, with no goodbye and no signal of its own
    // beyond the state change; every suspended wait and pause returns
    // (the window's destructor).
    void abandon();

    State state() const { return m_state; }
    // The address of the last open(), as it was given.
    QString address() const { return m_address; }
    // Counts opens and the ends of connections: something that belongs to one
    // connection can tell that the link was replaced meanwhile.
    quint64 generation() const { return m_generation; }

    // Runs `action` now when the exchange slot is free, otherwise queues it
    // (Queue) or drops it (Skip: a poll tick that falls due while another
    // exchange runs). False when dropped.
    bool enqueue(Action action, IfBusy ifBusy = IfBusy::Queue);
    // An action holds the exchange slot.
    bool busy() const { return m_running; }
    // A wait is pending: what arrives now is a reply, not console text.
    bool waiting() const { return m_wait != nullptr; }

    // Sends `command` and waits for its answer: the text received since the
    // command went out, or nothing when the wait failed (time-out, the link
    // went down, Disconnect).
    QCoro::Task<std::optional<QString>> exchange(const QString &command, Wait wait = {});
    // Waits for the answer to what was sent last (sendString/sendRaw).
    QCoro::Task<std::optional<QString>> answer(Wait wait = {});
    // Waits `duration` on a precise timer; false when the connection went
    // down or was replaced meanwhile.
    QCoro::Task<bool> pause(ms duration);

    // Sends one command line (CR-terminated, Shift-JIS); the reply collected
    // so far is dropped. A line that cannot be encoded goes out as a bare CR
    // and an "Encode Error" alert follows once the slot is free. Leave ends
    // the breakpoint mode first, whether or not the line could go out.
    void sendString(const QString &line, Breakpoint breakpoint = Breakpoint::Keep);
    // Sends `bytes` as they are (the attention byte, program blocks); the
    // reply so far is dropped. False when the link is not up.
    bool sendRaw(const QByteArray &bytes, Breakpoint breakpoint = Breakpoint::Keep);
    // Reads whatever the socket holds (the console's Receive button).
    void startReceiving();
    // The text received since the last send.
    QString replySoFar() const { return m_reply; }

    // A task stands at a breakpoint: a "#?" prompt arrived since the last
    // prompt wait or the last send that left the breakpoint.
    bool bkpMode() const { return m_bkpMode; }
    // While on, no answer ends the breakpoint mode, whatever its wait says:
    // a poll tick only reads, and a program stopped at a breakpoint stays
    // stopped there however long a monitor tab polls.
    void setReadingInPlace(bool on) { m_readingInPlace = on; }

    Timing timing() const { return m_timing; }
    void setTiming(Timing timing) { m_timing = timing; }

    // Every chunk sent and received also goes to `tap` (null: none).
    void setWireTap(WireTap *tap) { m_tap = tap; }

signals:
    void stateChanged(wire::State state, wire::Reason reason);
    // What arrived while no wait was pending: `text` everything since the
    // last emission, `lastChunk` the newest chunk alone.
    void received(const QString &text, const QString &lastChunk);
    // A prompt wait ended with its prompt, `micros` after the command went out.
    void replied(const QString &reply, qint64 micros);
    // A wait has lasted `seconds` (from the second second on).
    void waitProgress(qint64 seconds);

private:
    struct PendingWait
    {
        Wait wait;
        bool done = false;
        quint64 arrivals = 0;
    };

    void setState(State state, Reason reason);
    void onConnected();
    void onReadyRead();
    void readSlice();
    // Reads and handles one slice; the bytes read, 0 when nothing was there.
    qint64 readOnce();
    void showDisplay();
    void onSocketGone();
    void takeDown(Reason reason, bool alert);
    bool writeBytes(const QByteArray &bytes, bool secret = false);
    void appendReply(const QString &text);
    // `lineEndBefore`: the reply so far ended with a line feed.
    bool waitSatisfied(const QString &text, bool lineEndBefore) const;
    QCoro::Task<> drain();
    QCoro::Task<> settleLogin();
    void alertWhenFree(const QString &message);
    void showAlerts();
    // Sleeps until `alarm` rings or `duration` passes.
    void ringAll();
    // Drops the socket, goes down and rings every wait at the loop's next turn.
    void dropConnection();
    // The socket goes at once, unheard.
    void abortSocket();

    Dialogs *m_dialogs = nullptr;
    QTcpSocket *m_socket = nullptr;
    ReceiveHandler m_receiver;
    State m_state = State::Disconnected;
    QString m_address;
    quint64 m_generation = 0;
    // The window that owned the link is going: no wait or connect starts again.
    bool m_abandoned = false;
    Timing m_timing;

    // The exchange slot.
    std::deque<Action> m_queue;
    bool m_running = false;
    QStringList m_alerts;
    bool m_alertsPosted = false;

    // The wait in progress (at most one: one exchange at a time).
    PendingWait *m_wait = nullptr;
    QString m_reply;
    quint64 m_arrivals = 0;
    bool m_bkpMode = false;
    bool m_readingInPlace = false;
    QElapsedTimer m_sentAt;
    // Every sleeping wait and pause, rung when the link goes down.
    QList<QPointer<Alarm>> m_alarms;
    Alarm *m_waitAlarm = nullptr;
    Alarm *m_answerAlarm; // the waits' own, a child of the link
    Alarm *m_loginAlarm = nullptr;
    bool m_answered = false; // the last slice ended the pending wait

    // Display text collected while the event loop had other work.
    QString m_display;
    QString m_lastChunk;
    bool m_readPosted = false;
    WireTap *m_tap = nullptr;
};

// `action`, which changes the controller, as it goes into the queue: when its
// turn comes with the watch-only lock on, it sends nothing (an operator who
// clicked before someone locked the window does not drive the machine after).
// `lock` outlives the queue. `heldBack`, when given, runs instead (a window
// offers again what it switched off when pressed).
Link::Action unlessLocked(const WatchLock &lock, Link::Action action, std::function<void()> heldBack = {});

} // namespace wire
