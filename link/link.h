// The one object that talks to the controller: the connection and its
// thread, the receive handler and the login, the send path, the exchange slot
// with its waits, the time-out sequence and the queue of user actions. It
// knows nothing of widgets; what the window shows of it comes through its
// signals.
#pragma once

#include "link/linkstate.h"
#include "link/wiretap.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class Dialogs;

namespace link {

class Connection;
class ReceiveHandler;

// Writes one trace word to standard output (login echoes, "bkpmode",
// "Dec"/"Hex"...); tests may redirect them with setTraceSink.
void trace(const QString &line);
void setTraceSink(std::function<void(const QString &)> sink);

// Turns the event loop for `seconds`, then returns.
void delay(double seconds);
// One short turn of the event loop (5 ms).
void doEvents();

class Link : public QObject
{
    Q_OBJECT

public:
    using ms = std::chrono::milliseconds;

    explicit Link(Dialogs *dialogs, QObject *parent = nullptr);
    ~Link() override;

    // Opens the connection to `address` ("host" or "host:port", port 23 by
    // default) and starts receiving; false when it could not be opened within
    // the connect time-out. The previous connection goes first.
    bool open(const QString &address);
    // Says goodbye ("CMD$ 0"), pauses and closes. Every pending wait gives up.
    void close();
    bool isConnected() const;
    // Turns receiving back on (the console's Receive button).
    void startReceiving();
    // The address of the last open(), as it was given.
    QString address() const { return m_address; }
    // Counts opens and closes: a wait armed on one connection never reports
    // success after the link was replaced meanwhile.
    quint64 generation() const { return m_generation.load(); }

    // Sends one command line (CR-terminated, Shift-JIS); empties rcvBuff first.
    void sendString(const QString &line);
    // Empties rcvBuff and sends `bytes` as they are.
    void sendB(const QByteArray &bytes);
    // Sends `bytes` as they are, leaving rcvBuff alone; false when not open.
    bool sendRaw(const QByteArray &bytes);

    // Waits for the prompt armed by state().setWaitPrompt(true), bounded by
    // the receive time-out; on time-out runs the time-out sequence.
    bool receivePrompt();
    // Waits until `flag` is cleared by the receive path; the time-out counts
    // from the last byte received. Every way out that is not the flag
    // clearing clears it. `pump` turns the event loop between looks.
    bool waitFlagCleared(LinkState::Flag flag, bool pump);
    // Sends `command` and waits for its prompt.
    void commandExec(const QString &command);
    // Sends `command`, waits for its prompt and returns what arrived, or
    // nothing when the wait failed.
    std::optional<QString> exchange(const QString &command);

    // One user action at a time: runs `action` now when no exchange is
    // pending, otherwise queues it to run as soon as the slot is free.
    void userAction(const std::function<void()> &action);
    bool busy() const { return m_busyDepth > 0; }

    LinkState &state() { return m_state; }
    QString rcvBuff() const { return m_state.rcvBuff(); }
    bool bkpMode() const { return m_state.bkpMode(); }
    // The controller closed the connection (or the socket failed) since the
    // last open().
    bool peerClosedConnection() const { return m_peerGone.load(); }

    qint64 receiveTimeoutSeconds() const { return m_timeoutSeconds; }
    void setReceiveTimeoutSeconds(qint64 seconds) { m_timeoutSeconds = seconds; }
    void setConnectTimeout(ms timeout) { m_connectTimeout = timeout; }
    void setDisconnectPause(ms pause) { m_disconnectPause = pause; }

    // Received chunks not yet handed out to the main thread (counted from the
    // moment they arrive, before rcvBuff shows them);
    // tests use it to know that everything received has been shown.
    qint64 pendingDisplays() const { return m_pendingDisplays.load(); }

    // Every chunk sent and received also goes to `tap` (null: none). The tap
    // must outlive the Link or be removed first.
    void setWireTap(WireTap *tap) { m_tap = tap; }

    // Marks an exchange (or a sequence of them) in progress; poll ticks and
    // user actions that arrive meanwhile are skipped or deferred.
    class BusyScope
    {
    public:
        explicit BusyScope(Link &link) : m_link(link) { ++m_link.m_busyDepth; }
        ~BusyScope();
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;

    private:
        Link &m_link;
    };

signals:
    void connectedChanged(bool connected);
    // open() is about to try `address`.
    void opening(const QString &address);
    // The login answers went out (on the main thread, queued).
    void loggedIn();
    // A prompt wait ended with the prompt `micros` after its command was sent.
    void roundTrip(qint64 micros);
    // Emitted first by close() and by the time-out sequence, while the
    // connection may still be open: controls go off and polling stops.
    void aboutToClose();
    // What arrived, on the main thread: `text` everything since the last
    // emission, `lastChunk` the newest chunk alone.
    void received(const QString &text, const QString &lastChunk);
    // A prompt wait has lasted `seconds` (from the third second on).
    void waitProgress(qint64 seconds);
    // A prompt wait ended with the prompt.
    void waitSucceeded();
    // The controller closed the connection (or the socket failed) while no
    // exchange was pending.
    void peerClosed();
    // A wait ran out of time; the time-out alert follows.
    void timedOut();

private:
    friend class BusyScope;
    void onChunk(const QByteArray &bytes);                       // connection thread
    void onStreamEnd(const QString &reason, quint64 generation); // connection thread
    void postDisplay(const QString &text);                       // connection thread
    void receiveTimeout();
    void runDeferredActions();
    bool write(Connection &conn, const QByteArray &bytes, bool secret = false);

    Dialogs *m_dialogs = nullptr;
    LinkState m_state;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<ReceiveHandler> m_receiver;
    QString m_address;
    ms m_connectTimeout{5000};
    ms m_disconnectPause{1000};
    qint64 m_timeoutSeconds = 30;
    int m_busyDepth = 0;
    std::deque<std::function<void()>> m_deferred;
    bool m_deferredPosted = false;
    std::atomic<quint64> m_generation{0};
    std::atomic<bool> m_closing{false};
    // Set when the controller closed the connection or the socket failed.
    std::atomic<bool> m_peerGone{false};
    std::atomic<qint64> m_pendingDisplays{0};
    std::mutex m_displayMutex;
    QString m_displayBacklog;
    QString m_lastChunk;
    bool m_displayPosted = false;
    std::atomic<WireTap *> m_tap{nullptr};
    // Restarted by every command line sent: the round trip's start.
    QElapsedTimer m_sentAt;
};

} // namespace link
