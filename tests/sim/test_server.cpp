// The simulator over a real loopback socket: login, framing, fault modes and
// robustness. The client blocks this thread while it waits, as the monitor does,
// so every reply also shows that the server needs nothing from this thread.
#include "link/sjis.h"
#include "sim/machine.h"
#include "sim/server.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

namespace {

sim::Options ephemeral()
{
    sim::Options o;
    o.port = 0;
    return o;
}

class Client
{
public:
    explicit Client(quint16 port)
    {
        socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        connected = socket.waitForConnected(5000);
    }

    // Everything up to and including the first `end`; what arrived so far if
    // it does not come in time.
    QByteArray readUntil(const QByteArray &end, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!m_buf.contains(end) && !deadline.hasExpired()) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
                break;
            m_buf += socket.readAll();
            ++reads;
        }
        const qsizetype at = m_buf.indexOf(end);
        const QByteArray got = at < 0 ? m_buf : m_buf.left(at + end.size());
        m_buf.remove(0, got.size());
        return got;
    }

    QByteArray readBytes(qsizetype n, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (m_buf.size() < n && !deadline.hasExpired()) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
                break;
            m_buf += socket.readAll();
        }
        const QByteArray got = m_buf.left(n);
        m_buf.remove(0, got.size());
        return got;
    }

    // True when nothing at all arrives within ms.
    bool silentFor(int ms)
    {
        if (!m_buf.isEmpty() || socket.bytesAvailable() > 0)
            return false;
        return !socket.waitForReadyRead(ms);
    }

    void sendRaw(const QByteArray &bytes)
    {
        socket.write(bytes);
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
        }
    }

    void send(const QByteArray &line) { sendRaw(line + '\r'); }

    // One reply: up to the prompt, with the "?" of a breakpoint prompt (both
    // leave the server in one write unless chunking is on).
    QByteArray exchange(const QByteArray &line)
    {
        send(line);
        QByteArray reply = readUntil("#");
        if (m_buf.startsWith('?')) {
            reply += '?';
            m_buf.remove(0, 1);
        }
        return reply;
    }

    bool login()
    {
        if (!readUntil("Login    :").endsWith("Login    :"))
            return false;
        send("KDW4721");
        if (readUntil("Password :") != "\r\nPassword :")
            return false;
        send("QVRNT");
        return readUntil("#") == "\r\n#";
    }

    QTcpSocket socket;
    bool connected = false;
    int reads = 0;

private:
    QByteArray m_buf;
};

std::unique_ptr<sim::Server> startServer(const sim::Options &o = ephemeral())
{
    auto s = std::make_unique<sim::Server>(o);
    if (!s->start())
        return nullptr;
    return s;
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

private slots:
    void loginSequence();
    void wrongLoginAsksAgain_data();
    void wrongLoginAsksAgain();
    void lineFraming();
    void chunkSplitsReplies_data();
    void chunkSplitsReplies();
    void stallStopsAnswering();
    void setOptionsCountsAgain();
    void dropClosesAfterTheReply();
    void delayDelaysEveryReply();
    void garbageMixesInvalidBytes();
    void floodFollowsLogin();
    void machineRunsOnTheServerThread();
    void programOutputReachesTheClient();
    void livingMachineMovesByItself();
    void attentionAndBlocksOverTheWire();
    void survivesHostileInput();
    void survivesDisconnectMidReply();
    void waitForCommandTimesOut();
};

void TestServer::loginSequence()
{
    auto server = startServer();
    QVERIFY(server);
    QVERIFY(server->port() != 0);
    Client c(server->port());
    QVERIFY(c.connected);
    const QByteArray banner = c.readUntil("Login    :");
    QVERIFY(banner.startsWith("\r\n"));
    QVERIFY(banner.endsWith("\r\nLogin    :"));
    QCOMPARE(banner.count("\r\n"), 2); // one banner line, then the prompt
    c.send("KDW4721");
    QCOMPARE(c.readUntil(":"), QByteArray("\r\nPassword :"));
    c.send("QVRNT");
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
    QCOMPARE(c.exchange("CMD$ 0"), QByteArray("\r\n#"));
    QCOMPARE(c.exchange("PR 1+1"), QByteArray("\r\n 2\r\n#"));
    QCOMPARE(server->commands(), (QStringList{"CMD$ 0", "PR 1+1"}));
    QCOMPARE(server->received(), QByteArray("KDW4721\rQVRNT\rCMD$ 0\rPR 1+1\r"));
    QCOMPARE(server->connectionCount(), 1);
    server->clearReceived();
    QVERIFY(server->received().isEmpty());
    QVERIFY(server->commands().isEmpty());
}

void TestServer::wrongLoginAsksAgain_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("wrong name") << QByteArray("KDW4722") << QByteArray("QVRNT");
    QTest::newRow("wrong password") << QByteArray("KDW4721") << QByteArray("qvrnt");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestServer::wrongLoginAsksAgain()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, password);
    auto server = startServer();
    QVERIFY(server);
    Client c(server->port());
    c.readUntil("Login    :");
    c.send(name);
    QCOMPARE(c.readUntil(":"), QByteArray("\r\nPassword :"));
    c.send(password);
    const QByteArray refused = c.readUntil("Login    :");
    QCOMPARE(refused, "\r\n\t" + link::sjisEncode(QStringLiteral("ログインできません (Login incorrect)"))
                          + "\r\nLogin    :");
    // Still not logged in: a command is taken as the next login name.
    c.send("PR 1");
    QCOMPARE(c.readUntil(":"), QByteArray("\r\nPassword :"));
    c.send("x");
    c.readUntil("Login    :");
    c.send("KDW4721");
    c.readUntil(":");
    c.send("QVRNT");
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
    QVERIFY(server->commands().isEmpty());
}

void TestServer::lineFraming()
{
    auto server = startServer();
    QVERIFY(server);
    Client c(server->port());
    c.readUntil("Login    :");
    c.sendRaw("KDW4721\r\n");
    c.readUntil(":");
    c.sendRaw("QVRNT\r\nPR 1\r\n");
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n 1\r\n#"));
    c.sendRaw("P");
    c.sendRaw("R 2");
    QVERIFY(c.silentFor(50));
    c.sendRaw("\r");
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n 2\r\n#"));
    c.sendRaw("\r");
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
    QCOMPARE(server->commands(), (QStringList{"PR 1", "PR 2", ""}));
}

void TestServer::chunkSplitsReplies_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("byte by byte") << 1;
    QTest::newRow("five bytes") << 5;
}

void TestServer::chunkSplitsReplies()
{
    QFETCH(int, chunk);
    sim::Options o = ephemeral();
    o.chunk = chunk;
    auto server = startServer(o);
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login()); // login prompts are not chunked
    const QString text = QStringLiteral("構文エラー").repeated(8);
    server->withMachine([&text](sim::Machine &m) { m.setVariable(QStringLiteral("S$"), text); });
    const QByteArray expected = "\r\n " + link::sjisEncode(text) + "\r\n#";
    const int pieces = int((expected.size() + chunk - 1) / chunk);
    c.reads = 0;
    QElapsedTimer t;
    t.start();
    c.send("PR S$");
    QCOMPARE(c.readUntil("\r\n#"), expected);
    // Pieces leave at least a millisecond apart, so the reply cannot arrive
    // faster (give or take the clocks' rounding) and not in one read.
    QVERIFY2(t.elapsed() >= pieces - 2, qPrintable(QString::number(t.elapsed())));
    QVERIFY(c.reads >= 2);
}

void TestServer::stallStopsAnswering()
{
    sim::Options o = ephemeral();
    o.stallAfter = 2;
    auto server = startServer(o);
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login());
    QCOMPARE(c.exchange("PR 1"), QByteArray("\r\n 1\r\n#"));
    QCOMPARE(c.exchange("PR 2"), QByteArray("\r\n 2\r\n#"));
    c.send("PR 3");
    QVERIFY(server->waitForCommand("PR 3", 5000));
    QVERIFY(c.silentFor(300));
    QCOMPARE(c.socket.state(), QAbstractSocket::ConnectedState);
    server->setOptions(ephemeral());
    QCOMPARE(c.exchange("PR 4"), QByteArray("\r\n 4\r\n#"));
}

void TestServer::setOptionsCountsAgain()
{
    auto server = startServer();
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login());
    for (int i = 0; i < 3; ++i)
        c.exchange("CMD$");
    sim::Options o = ephemeral();
    o.stallAfter = 1;
    server->setOptions(o);
    QCOMPARE(c.exchange("PR 5"), QByteArray("\r\n 5\r\n#"));
    c.send("PR 6");
    QVERIFY(server->waitForCommand("PR 6", 5000));
    QVERIFY(c.silentFor(200));
}

void TestServer::dropClosesAfterTheReply()
{
    sim::Options o = ephemeral();
    o.dropAfter = 1;
    auto server = startServer(o);
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login());
    // Both lines arrive together; only the first is carried out.
    c.sendRaw("A=5\rB=6\r");
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
    QVERIFY(c.socket.state() == QAbstractSocket::UnconnectedState || c.socket.waitForDisconnected(5000));
    QString b;
    server->withMachine([&b](sim::Machine &m) { b = m.variable("A") + m.variable("B"); });
    QCOMPARE(b, QStringLiteral("50"));

    Client again(server->port());
    QVERIFY(again.login());
    QCOMPARE(again.exchange("PR A"), QByteArray("\r\n 5\r\n#"));
    QCOMPARE(server->connectionCount(), 2);
}

void TestServer::delayDelaysEveryReply()
{
    sim::Options o = ephemeral();
    o.delayMs = 150;
    auto server = startServer(o);
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login());
    QElapsedTimer t;
    t.start();
    QCOMPARE(c.exchange("PR 7"), QByteArray("\r\n 7\r\n#"));
    QVERIFY(t.elapsed() >= 150);
    // Order survives when a second command follows at once.
    c.sendRaw("PR 8\rPR 9\r");
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n 8\r\n#"));
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n 9\r\n#"));
}

void TestServer::garbageMixesInvalidBytes()
{
    sim::Options o = ephemeral();
    o.garbage = true;
    auto server = startServer(o);
    QVERIFY(server);
    Client c(server->port());
    c.readUntil("Login    :");
    c.send("KDW4721");
    c.readUntil(":");
    c.send("QVRNT");
    QCOMPARE(c.readUntil("#"), QByteArray("\xFF\r\n#"));
    const QByteArray reply = c.exchange("PR 1");
    QCOMPARE(reply, QByteArray("\xFF\r\n 1\xFF\r\n#"));
    bool ok = true;
    link::sjisDecode(reply, &ok);
    QVERIFY(!ok);
}

void TestServer::floodFollowsLogin()
{
    sim::Options o = ephemeral();
    o.flood = 4010;
    auto server = startServer(o);
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login());
    const QByteArray flood = c.readBytes(4010);
    QCOMPARE(flood.size(), 4010);
    for (qsizetype at = 0; at < 4000; at += 40) {
        QVERIFY(flood.mid(at, 40).startsWith("\r\nFLOOD "));
        QVERIFY(!flood.mid(at + 2, 38).contains('\r'));
    }
    QCOMPARE(flood.mid(4000), QByteArray("\r\nFLOOD 00")); // the last line is cut short
    QCOMPARE(c.exchange("PR 1"), QByteArray("\r\n 1\r\n#"));
}

void TestServer::machineRunsOnTheServerThread()
{
    auto server = startServer();
    QVERIFY(server);
    QThread *ranOn = nullptr;
    server->withMachine([&ranOn](sim::Machine &m) {
        ranOn = QThread::currentThread();
        m.setVariable(QStringLiteral("V"), 42);
        m.setMbkWord(100, 7);
    });
    QVERIFY(ranOn != nullptr);
    QVERIFY(ranOn != QThread::currentThread());
    Client c(server->port());
    QVERIFY(c.login());
    QCOMPARE(c.exchange("PR V MBK(100~Wrd)"), QByteArray("\r\n 42 7\r\n#"));
    c.exchange("ON 3");
    bool on = false;
    server->withMachine([&on](sim::Machine &m) { on = m.bit(3); });
    QVERIFY(on);
}

void TestServer::programOutputReachesTheClient()
{
    auto server = startServer();
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login());
    c.exchange("10 PRINT \"TICK\"");
    c.exchange("20 BKP_HERE=1");
    c.exchange("BKP 20");
    QCOMPARE(c.exchange("RUN"), QByteArray("\r\n#"));
    QCOMPARE(c.readUntil("TICK"), QByteArray("\r\n TICK"));
    QCOMPARE(c.readUntil("#?"), QByteArray("\r\n\x1b[7m BREAK 20 \x1b[0m\r\n20\tBKP_HERE=1\r\n#?"));
    QCOMPARE(c.exchange("PR TASK(0|256)"), QByteArray("\r\n 3\r\n#?"));
}

void TestServer::livingMachineMovesByItself()
{
    auto server = startServer();
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login());
    c.exchange("ON 1");
    c.exchange("RMVS X_A 1000");
    bool input = false;
    qint64 x = 0;
    const auto look = [&] {
        server->withMachine([&](sim::Machine &m) {
            input = m.bit(193);
            x = m.position(0);
        });
        return input && x == 1000;
    };
    QTRY_VERIFY_WITH_TIMEOUT(look(), 5000);
    QCOMPARE(c.exchange("PR IN(24) X(-1)"), QByteArray("\r\n 2 1000\r\n#"));
}

void TestServer::attentionAndBlocksOverTheWire()
{
    auto server = startServer();
    QVERIFY(server);
    Client c(server->port());
    QVERIFY(c.login());
    c.sendRaw("\x01");
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
    // A short block ends after a quiet moment, a full one at once.
    const QByteArray text = QByteArray("A=1\nB=2\n").repeated(200);
    c.sendRaw("\x02" + text.left(1400));
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
    c.sendRaw("\x02" + text.mid(1400));
    QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
    QCOMPARE(c.exchange("MMC_LOAD MMC_LOAD$"), QByteArray("\r\nLoaded 400 lines\r\n#"));
    QCOMPARE(c.exchange("LIST 4000 0"), QByteArray("\r\n4000\tB=2\r\n#"));
    QVERIFY(server->commands().contains("MMC_LOAD MMC_LOAD$"));
    QCOMPARE(server->commands().size(), 2); // blocks and attention are not lines
}

void TestServer::survivesHostileInput()
{
    auto server = startServer();
    QVERIFY(server);
    QRandomGenerator rng(4721);
    {
        Client noise(server->port());
        QByteArray junk(256 * 1024, '\0');
        for (char &b : junk)
            b = char(rng.bounded(256));
        noise.sendRaw(junk);
        noise.sendRaw(QByteArray(10 * 1024 * 1024, 'A') + "\r");
    }
    Client c(server->port());
    QVERIFY(c.login());
    c.sendRaw(QByteArray(10 * 1024 * 1024, 'B') + "\r");
    QCOMPARE(c.readUntil("#"),
             "\r\n\t" + link::sjisEncode(sim::Machine::errorText(sim::Machine::Err::LineTooLong)) + "\r\n#");
    QByteArray junk(64 * 1024, '\0');
    for (char &b : junk)
        b = char(rng.bounded(256));
    junk.replace('\x02', ' '); // keep the stream in line mode
    // After an attention byte the session is clean again, whatever the junk did.
    c.sendRaw(junk + "\x01PR 99\r");
    QVERIFY(c.readUntil("\r\n 99\r\n#").endsWith("\r\n 99\r\n#"));
    Client other(server->port());
    QVERIFY(other.login());
    QCOMPARE(other.exchange("PR 12"), QByteArray("\r\n 12\r\n#"));
}

void TestServer::survivesDisconnectMidReply()
{
    sim::Options o = ephemeral();
    o.chunk = 1;
    auto server = startServer(o);
    QVERIFY(server);
    server->withMachine([](sim::Machine &m) {
        for (int i = 1; i <= 100; ++i)
            m.handleLine(QStringLiteral("%1 PRINT \"line %1\"").arg(i * 10));
    });
    {
        Client c(server->port());
        QVERIFY(c.login());
        c.send("LIST 0 0");
        QVERIFY(!c.readBytes(20).isEmpty());
        c.socket.abort();
    }
    Client again(server->port());
    QVERIFY(again.login());
    QCOMPARE(again.exchange("PR 3"), QByteArray("\r\n 3\r\n#"));
}

void TestServer::waitForCommandTimesOut()
{
    auto server = startServer();
    QVERIFY(server);
    QVERIFY(!server->waitForCommand("PR 1", 50));
    Client c(server->port());
    QVERIFY(c.login());
    c.send("PR 1");
    QVERIFY(server->waitForCommand("PR 1", 5000));
    QVERIFY(!server->waitForCommand("PR 2", 50));
}

QTEST_GUILESS_MAIN(TestServer)
#include "test_server.moc"
