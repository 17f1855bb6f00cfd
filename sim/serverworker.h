// The server's simulator-thread side: accepts connections, logs each client
// in, applies the fault modes to what it sends, and keeps the one shared
// Machine running. Lives on the Server's thread; only Server talks to it.
#pragma once

#include "sim/machine.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <deque>
#include <map>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace sim {

class Server;

class ServerWorker : public QObject
{
public:
    explicit ServerWorker(Server *owner);

    Machine &machine() { return m_machine; }

    // First thing on the simulator thread: the tick that keeps the machine
    // alive and carries out calls from other threads.
    void begin();

    bool listen(quint16 port, quint16 *actual);

    void shutdown();

    // The fault counters start again so that a test can say "stall after N
    // more lines" in the middle of a session.
    void optionsChanged();

    void deliverAsync();

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
        Machine::Stream input; // after login
        bool overflow = false;
        QString loginName;
        int lines = 0;
        bool stalled = false;
        bool closing = false;
        std::deque<Pending> queue;
        qint64 queued = 0; // bytes in queue
        qint64 lastDue = 0;
        qint64 floodLeft = 0;
        qint64 floodLineNo = 0;
    };

    Session *find(QTcpSocket *socket);

    void acceptAll();

    void readFrom(Session &s);

    // Before login the session reads lines on its own; control bytes mean
    // nothing yet and are dropped. Consumes up to and including one line end
    // and returns where it stopped.
    qsizetype loginBytes(Session &s, const QByteArray &bytes, qsizetype i);

    void feedMachine(Session &s, const QByteArray &bytes);

    void closeWhenSent(Session &s);

    // Also drops a client that lets too much go unread (see kBacklogCap).
    void sendReply(Session &s, const QByteArray &bytes);

    // Every write goes through the queue so that delays and chunking keep the
    // order of replies; an undelayed, unchunked reply goes straight out.
    void enqueue(Session &s, const QByteArray &bytes, int chunk, int gapMs = 1);

    void pump(Session &s);

    void topUpFlood(Session &s);

    void tick();

    Server *m_owner;
    Machine m_machine;
    QTcpServer *m_tcp = nullptr;
    QTimer *m_live = nullptr;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    bool m_stopped = false;
    std::map<QTcpSocket *, std::unique_ptr<Session>> m_sessions;
};

} // namespace sim
