// A plain blocking client for the benchmarks' physical bounds: logs in to the
// simulator and does request/reply round trips with no monitor in between.
#pragma once

#include "link/protocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpSocket>

class RawClient
{
public:
    bool open(quint16 port)
    {
        m_sock.connectToHost(QStringLiteral("127.0.0.1"), port, QIODevice::ReadWrite | QIODevice::Unbuffered);
        if (!m_sock.waitForConnected(5000))
            return false;
        m_sock.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (!readUntil(protocol::kLoginPrompt))
            return false;
        m_sock.write(QByteArray(protocol::kLoginName) + protocol::kLineEnd);
        if (!readUntil(protocol::kPasswordPrompt))
            return false;
        m_sock.write(QByteArray(protocol::kPassword) + protocol::kLineEnd);
        return readUntil(protocol::kPromptLine);
    }
    // One command line and its reply up to the prompt.
    bool roundTrip(const QByteArray &line) { return rawRoundTrip(line + protocol::kLineEnd); }
    // Any bytes, and the reply up to `until` (a program line in load mode is
    // answered by a bare "#").
    bool rawRoundTrip(const QByteArray &bytes, const QByteArray &until = protocol::kPromptLine)
    {
        m_sock.write(bytes);
        return readUntil(until);
    }
    // Reads until `needle` has arrived in what was read since the last call.
    bool readUntil(const QByteArray &needle, int timeoutMs = 30000)
    {
        QElapsedTimer t;
        t.start();
        while (!m_buf.contains(needle)) {
            if (t.elapsed() > timeoutMs)
                return false;
            if (m_sock.bytesAvailable() == 0 && !m_sock.waitForReadyRead(timeoutMs))
                return false;
            m_buf += m_sock.readAll();
        }
        const qsizetype at = m_buf.indexOf(needle);
        m_received += at + needle.size();
        m_buf.remove(0, at + needle.size());
        return true;
    }
    qint64 received() const { return m_received; }
    // The logged-in socket, for a client that goes on through the event loop.
    QTcpSocket &socket() { return m_sock; }

private:
    QTcpSocket m_sock;
    QByteArray m_buf;
    qint64 m_received = 0;
};
