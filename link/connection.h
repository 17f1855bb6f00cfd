// One TCP connection to the controller, owned by a worker that lives on its
// own thread. Received chunks are handed to the chunk handler on that thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class QThread;

namespace link {

class ConnectionWorker;

class Connection
{
public:
    Connection();
    ~Connection(); // closes, quits and joins the thread
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Both handlers run on the connection thread. Set them before open().
    void setChunkHandler(std::function<void(const QByteArray &)> handler);
    void setEndHandler(std::function<void(const QString &reason)> handler);

    // Blocks the caller until the socket is connected or `timeout` passes.
    // On a time-out the attempt is abandoned (the connection is cancelled).
    bool open(const QString &host, quint16 port, std::chrono::milliseconds timeout);

    // Thread-safe. Returns false when the connection is not open (nothing sent).
    bool send(const QByteArray &bytes);
    // Receiving is on from open(); this re-enables it after it was stopped.
    void startReceiving();
    // Idempotent; after it nothing is received and nothing sent.
    void close();
    bool isOpen() const;
    // True once close() was called: a connection we gave up on, as opposed to
    // one the peer closed.
    bool wasCancelled() const { return m_cancelled; }

private:
    std::unique_ptr<QThread> m_thread;
    ConnectionWorker *m_worker = nullptr; // lives on m_thread
    std::atomic<bool> m_cancelled{false};
};

} // namespace link
