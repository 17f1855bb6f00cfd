#include "link/connection.h"

#include <QLoggingCategory>
#include <cerrno>
#include <mutex>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#include <sys/socket.h>
#endif
#include <QMetaObject>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>

Q_LOGGING_CATEGORY(lcLink, "quorin.link")

namespace link {

class ConnectionWorker : public QObject
{
public:
    std::function<void(const QByteArray &)> chunkHandler;
    std::function<void(const QString &)> endHandler;
    std::atomic<bool> open{false};
    std::atomic<bool> receiving{false};
    // Every write goes straight to the socket under this lock, from whichever
    // thread sends: a command does not wait for the connection thread to wake.
    std::mutex writeMutex;
    std::atomic<qintptr> descriptor{-1};

    // Writes all of `bytes` to the native socket; false when it is gone.
    bool writeNative(const QByteArray &bytes)
    {
        std::lock_guard<std::mutex> lock(writeMutex);
        const qintptr fd = descriptor;
        if (fd < 0 || !open)
            return false;
        const char *p = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
#ifdef _WIN32
            const int n = ::send(static_cast<SOCKET>(fd), p, static_cast<int>(left), 0);
            if (n == SOCKET_ERROR) {
                if (WSAGetLastError() != WSAEWOULDBLOCK)
                    return false;
                fd_set set;
                FD_ZERO(&set);
                FD_SET(static_cast<SOCKET>(fd), &set);
                timeval tv{5, 0};
                if (::select(0, nullptr, &set, nullptr, &tv) <= 0)
                    return false;
                continue;
            }
#else
#ifdef MSG_NOSIGNAL
            const auto n = ::send(static_cast<int>(fd), p, static_cast<size_t>(left), MSG_NOSIGNAL);
#else
            const auto n = ::send(static_cast<int>(fd), p, static_cast<size_t>(left), 0);
#endif
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    return false;
                // The socket is non-blocking; wait (bounded) until it drains.
                pollfd pfd{static_cast<int>(fd), POLLOUT, 0};
                if (::poll(&pfd, 1, 5000) <= 0)
                    return false;
                continue;
            }
#endif
            p += n;
            left -= n;
        }
        return true;
    }

    void connectTo(const QString &host, quint16 port, const std::function<void(bool)> &done)
    {
        m_socket = new QTcpSocket(this);
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto reported = std::make_shared<bool>(false);
        QObject::connect(m_socket, &QTcpSocket::connected, this, [this, done, reported] {
            qCDebug(lcLink) << "Ready to Send";
            m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            descriptor = m_socket->socketDescriptor();
            open = true;
            if (!*reported) {
                *reported = true;
                done(true);
            }
        });
        QObject::connect(m_socket, &QTcpSocket::errorOccurred, this,
                         [this, done, reported](QAbstractSocket::SocketError) {
                             qCWarning(lcLink).noquote() << "connect(), " + m_socket->errorString();
                             if (!open && !*reported) {
                                 *reported = true;
                                 done(false);
                                 return;
                             }
                             ended(m_socket->errorString());
                         });
        QObject::connect(m_socket, &QTcpSocket::readyRead, this, [this] { drain(); });
        QObject::connect(m_socket, &QTcpSocket::disconnected, this, [this] { ended(QStringLiteral("EOF")); });
        m_socket->connectToHost(host, port);
    }

    // The peer closed the connection or the socket failed: what it sent
    // before goes to the chunk handler first, then the end handler, once.
    void ended(const QString &reason)
    {
        if (!m_socket || !open)
            return;
        drain();
        if (!open.exchange(false))
            return;
        qCDebug(lcLink).noquote() << " did receive, " + reason;
        if (endHandler)
            endHandler(reason);
    }

    void drain()
    {
        if (!m_socket || !receiving)
            return;
        while (m_socket->bytesAvailable() > 0) {
            const QByteArray chunk = m_socket->read(0xFFFF);
            if (chunk.isEmpty())
                break;
            if (chunkHandler)
                chunkHandler(chunk);
        }
    }

    void shutdown()
    {
        {
            std::lock_guard<std::mutex> lock(writeMutex);
            open = false;
            descriptor = -1;
        }
        if (m_socket) {
            m_socket->disconnect(this);
            // A graceful close: what was written is delivered before the FIN
            // (an abort would reset the connection and could lose it).
            m_socket->disconnectFromHost();
            if (m_socket->state() != QAbstractSocket::UnconnectedState)
                m_socket->abort();
            m_socket->deleteLater();
            m_socket = nullptr;
        }
    }

private:
    QTcpSocket *m_socket = nullptr;
};

Connection::Connection() : m_thread(std::make_unique<QThread>())
{
    m_thread->setObjectName(QStringLiteral("sample"));
    m_worker = new ConnectionWorker;
    m_worker->moveToThread(m_thread.get());
    QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

Connection::~Connection()
{
    close();
    m_thread->quit();
    m_thread->wait();
}

void Connection::setChunkHandler(std::function<void(const QByteArray &)> handler)
{
    m_worker->chunkHandler = std::move(handler);
}

void Connection::setEndHandler(std::function<void(const QString &)> handler)
{
    m_worker->endHandler = std::move(handler);
}

bool Connection::open(const QString &host, quint16 port, std::chrono::milliseconds timeout)
{
    struct Result
    {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        bool ok = false;
    };
    auto result = std::make_shared<Result>();
    // The worker is deleted only when the thread finishes, after every queued
    // call has run, so a raw pointer is safe in these calls.
    ConnectionWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        m_worker,
        [worker, host, port, result] {
            worker->connectTo(host, port, [result](bool ok) {
                std::lock_guard<std::mutex> lock(result->m);
                result->done = true;
                result->ok = ok;
                result->cv.notify_all();
            });
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(result->m);
    // A refused or unresolvable address is reported early, but the caller's
    // contract is a fixed wait: only a connected socket ends it before time.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!(result->done && result->ok)) {
        if (result->cv.wait_until(lock, deadline) == std::cv_status::timeout)
            break;
    }
    const bool ok = result->done && result->ok;
    lock.unlock();
    if (!ok)
        close();
    return ok;
}

bool Connection::send(const QByteArray &bytes)
{
    if (!m_worker->open)
        return false;
    if (!m_worker->writeNative(bytes)) {
        qCWarning(lcLink) << "write failed: the connection is gone";
        return false;
    }
    return true;
}

void Connection::startReceiving()
{
    m_worker->receiving = true;
    ConnectionWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        m_worker, [worker] { worker->drain(); }, Qt::QueuedConnection);
}

void Connection::close()
{
    m_cancelled = true;
    if (!m_thread->isRunning())
        return;
    m_worker->open = false;
    ConnectionWorker *worker = m_worker;
    if (QThread::currentThread() == m_thread.get()) {
        m_worker->shutdown();
    } else {
        // Writes queued before the close still go out first: the queue is FIFO.
        QMetaObject::invokeMethod(
            m_worker, [worker] { worker->shutdown(); }, Qt::BlockingQueuedConnection);
    }
}

bool Connection::isOpen() const
{
    return m_worker->open;
}

} // namespace link
