// quorin-sim's network side: a loopback TCP server on its own thread that logs
// a client in and hands its bytes to one shared sim::Machine.
//
// The monitor's main thread blocks while it waits for a reply, so a simulator
// that runs in the same process must never need that thread: everything here
// runs on the server's own QThread, and the public calls only lock, copy or
// hand work over to it (picked up by its 10 ms tick).
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace sim {

class Machine;
class ServerWorker;

struct Options
{
    quint16 port = 2323;  // 0 = ephemeral
    int delayMs = 0;      // delay every reply
    int stallAfter = -1;  // stop answering after N command lines (-1 never)
    int dropAfter = -1;   // close the connection after N command lines (-1 never)
    int stallMid = -1;    // like stallAfter, but the first half of the next reply still goes out
    int dropMid = -1;     // like dropAfter, but the first half of the next reply still goes out
    int chunk = 0;        // 0: each reply in one write; N: N-byte pieces (1 splits double-byte chars)
    int slowBps = 0;      // 0: full speed; N: replies trickle out at about N bytes per second
    bool garbage = false; // mix invalid Shift-JIS bytes into output
    qint64 flood = 0;     // bytes of program output (40-byte lines) sent right after login
    // Accept only connections made from this very process (the monitor's
    // built-in simulator); any other client is closed on before the banner.
    // See ownprocess.h for where this cannot be told.
    bool thisProcessOnly = false;
};

// Session rules: on connect a banner line and "Login    :"; the next line is
// answered with "Password :"; then the prompt when the pair was right, or an
// error and the login prompt again. After login every byte goes to the Machine.
//
// Fault modes count the command lines of a connection after its login (the
// count starts again when setOptions() is called): the first stallAfter or
// dropAfter lines are answered normally; after stallAfter lines nothing more is
// sent on that connection, after dropAfter lines the connection is closed once
// the reply to the last one is out. stallMid and dropMid do the same one line
// later, after sending the first half of that line's reply. Chunking, slow
// sending and garbage apply to what is sent after login, so a client can still
// log in with them switched on. Garbage is one byte 0xFF (never valid cp932) in
// front of every CR LF.
class Server
{
public:
    explicit Server(const Options &opt = {});
    ~Server(); // stops and joins the thread
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    bool start(); // listen on 127.0.0.1; returns once listening (false on failure)
    quint16 port() const;

    QByteArray received() const;  // every byte received (all connections) since start/clearReceived
    QStringList commands() const; // each line received after login, decoded, without CR/LF
    void clearReceived();
    int connectionCount() const; // connections accepted so far

    // Runs fn on the simulator thread with the machine and blocks until done
    // (within about 10 ms); output it causes goes out to logged-in clients.
    void withMachine(const std::function<void(Machine &)> &fn);
    void setOptions(const Options &opt); // port is ignored
    Options options() const;
    bool waitForCommand(const QString &line, int timeoutMs); // true once commands() contains line
    // Keeping received() and commands() costs memory without bound; the
    // stand-alone simulator switches it off.
    void setRecording(bool on);

private:
    friend class ServerWorker;

    // Runs fn on the simulator thread and waits for it. The call travels
    // through m_calls under m_mutex, not through Qt's event queue, so the whole
    // hand-over is visible to ThreadSanitizer; the thread's tick picks it up.
    void runOnThread(const std::function<void()> &fn);
    void runPendingCalls(); // on the simulator thread
    struct Call
    {
        const std::function<void()> *fn;
        bool done;
    };

    // called on the simulator thread
    void noteReceived(const QByteArray &bytes);
    void noteCommand(const QString &line);
    void noteConnection();

    // Standard primitives rather than QMutex, so that ThreadSanitizer sees them.
    mutable std::mutex m_mutex;
    std::condition_variable m_commandArrived;
    std::condition_variable m_callDone;
    std::deque<Call *> m_calls;
    Options m_opt;
    QByteArray m_received;
    QStringList m_commands;
    int m_connections = 0;
    quint16 m_port = 0;
    bool m_recording = true;

    // The simulator thread starts the worker and, after its event loop ends,
    // marks its last touch of the server for the destructor. Plain code in
    // run(), not slots on started/finished: a connection's slot object is
    // read on this thread and freed by ~QThread on the owner's, a hand-over
    // the checker cannot see.
    class Thread : public QThread
    {
    public:
        explicit Thread(Server *owner) : m_owner(owner) {}

    protected:
        void run() override;

    private:
        Server *const m_owner;
    };

    Thread m_thread{this};
    // The token of the thread's last hand-over, of its own: the server's own
    // address is its mutex's, whose every unlock would overwrite what the
    // thread handed over.
    char m_threadEnded = 0;
    ServerWorker *m_worker = nullptr;
};

} // namespace sim
