// A client in a process of its own, for the tests that a server refuses strangers: writes what
// 127.0.0.1:PORT sends until the login prompt or its close ("[closed]"); exits 2 if it cannot connect.
#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const quint16 port = argc > 1 ? QByteArray(argv[1]).toUShort() : 0;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    if (!socket.waitForConnected(5000))
        return 2;
    QByteArray got;
    const QDeadlineTimer deadline(10000);
    while (!got.contains("Login") && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        got += socket.readAll();
    }
    got += socket.readAll();
    if (socket.state() != QAbstractSocket::ConnectedState)
        got += "[closed]";
    std::fwrite(got.constData(), 1, static_cast<size_t>(got.size()), stdout);
    return 0;
}
