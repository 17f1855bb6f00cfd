#pragma once
#include "core/handoff.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <mutex>

// Sits on the wire between the monitor and the simulator and holds the monitor to the exchange rule:
// once logged in, no command line leaves while the previous one waits for its prompt. Its own thread
// relays and counts whatever the monitor's thread is doing meanwhile.
class WireReferee : public QObject
{
    Q_OBJECT

public:
    explicit WireReferee(quint16 upstreamPort) : m_upstreamPort(upstreamPort)
    {
        moveToThread(&m_thread);
        m_thread.start();
        there("listenThere");
    }
    ~WireReferee() override
    {
        there("closeThere");
        m_thread.quit();
        m_thread.wait();
    }
    Q_INVOKABLE void listenThere()
    {
        core::takeOverInPool();
        listen();
        core::handOffToPool();
    }
    Q_INVOKABLE void closeThere()
    {
        core::takeOverInPool();
        delete m_server;
        core::handOffToPool();
    }
    quint16 port() const { return m_port; }
    // Lines sent while an earlier one still waited for its prompt; `checked`: lines looked at in all.
    QStringList overlaps(int &checked) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        checked = m_checked;
        return m_overlaps;
    }

private:
    // A blocking call through Qt's queue: only the object itself crosses threads (core/handoff.h).
    void there(const char *method)
    {
        core::handOffToPool();
        QMetaObject::invokeMethod(this, method, Qt::BlockingQueuedConnection);
        core::takeOverInPool();
    }
    void listen()
    {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress(QHostAddress::LocalHost), 0);
        m_port = m_server->serverPort();
        QObject::connect(m_server, &QTcpServer::newConnection, this, [this] {
            auto *client = m_server->nextPendingConnection();
            auto *upstream = new QTcpSocket(m_server);
            upstream->connectToHost(QHostAddress(QHostAddress::LocalHost), m_upstreamPort);
            upstream->waitForConnected(5000);
            QObject::connect(client, &QTcpSocket::readyRead, this,
                             [this, client, upstream] { relay(client, upstream, true); });
            QObject::connect(upstream, &QTcpSocket::readyRead, this,
                             [this, client, upstream] { relay(upstream, client, false); });
            QObject::connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
            // The controller hanging up reaches the monitor as well.
            QObject::connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        });
    }

    void relay(QTcpSocket *from, QTcpSocket *to, bool fromMonitor)
    {
        const QByteArray bytes = from->readAll();
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const char c : bytes) {
            if (fromMonitor && c != '\r') {
                m_line.append(c);
            } else if (fromMonitor) {
                if (m_armed && m_pending++ > 0)
                    m_overlaps << QString::fromLatin1(m_line);
                m_checked += m_armed ? 1 : 0;
                m_line.clear();
                m_replyStart = true;
            } else if (c == '#' && (m_lastByte == '\n' || m_replyStart)) {
                // A prompt on a line of its own or alone (a program line in load mode gets a bare "#").
                // The first one ends the login; counting starts there.
                if (!m_armed)
                    m_armed = true;
                else if (m_pending > 0)
                    --m_pending;
            }
            if (!fromMonitor) {
                m_lastByte = c;
                m_replyStart = false;
            }
        }
        to->write(bytes);
    }

    QThread m_thread;
    quint16 m_upstreamPort;
    quint16 m_port = 0;
    QTcpServer *m_server = nullptr;
    mutable std::mutex m_mutex; // a standard lock: ThreadSanitizer sees it
    QByteArray m_line;
    char m_lastByte = 0;
    bool m_replyStart = false;
    bool m_armed = false;
    int m_pending = 0;
    int m_checked = 0;
    QStringList m_overlaps;
};
