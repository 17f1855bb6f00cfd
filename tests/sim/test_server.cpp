// The simulator over loopback. The client blocks this thread while it waits, as the monitor does,
// so every reply also shows that the server needs nothing from this thread.
#include "link/sjis.h"
#include "sim/machine.h"
#include "sim/server.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>

#include <functional>

namespace {

const QByteArray kLogin = "Login    :";

class Client
{
public:
    explicit Client(quint16 port)
    {
        socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        if (socket.waitForConnected(5000))
            banner = readUntil(kLogin);
    }

    // Up to and including `end` (or n bytes when `end` is empty); what came if it does not come.
    QByteArray readUntil(const QByteArray &end, qsizetype n = 0)
    {
        const auto done = [&] { return end.isEmpty() ? m_buf.size() >= n : m_buf.contains(end); };
        QDeadlineTimer deadline(5000);
        while (!done() && !deadline.hasExpired()) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
                break;
            m_buf += socket.readAll();
            ++reads;
        }
        const qsizetype at = end.isEmpty() ? n - end.size() : m_buf.indexOf(end);
        const QByteArray got = at < 0 ? m_buf : m_buf.left(at + end.size());
        m_buf.remove(0, got.size());
        return got;
    }

    // True when nothing at all arrives within ms.
    bool silentFor(int ms)
    {
        return m_buf.isEmpty() && socket.bytesAvailable() == 0 && !socket.waitForReadyRead(ms);
    }

    bool closed()
    {
        return socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(5000);
    }

    void sendRaw(const QByteArray &bytes)
    {
        socket.write(bytes);
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
        }
    }

    void send(const QByteArray &line) { sendRaw(line + '\r'); }

    // One command and its reply, up to the prompt.
    QByteArray exchange(const QByteArray &line)
    {
        send(line);
        return readUntil("#");
    }

    bool login(const QByteArray &name = "KDW4721", const QByteArray &password = "QVRNT",
               const QByteArray &expect = "\r\n#")
    {
        send(name);
        if (readUntil(":") != "\r\nPassword :")
            return false;
        send(password);
        return readUntil(expect.right(1)) == expect;
    }

    QTcpSocket socket;
    QByteArray banner;
    int reads = 0;

private:
    QByteArray m_buf;
};

std::unique_ptr<sim::Server> startServer(const std::function<void(sim::Options &)> &tweak = {})
{
    sim::Options o;
    o.port = 0;
    if (tweak)
        tweak(o);
    auto s = std::make_unique<sim::Server>(o);
    s->start(); // one that failed to start has no port, so the client's login fails
    return s;
}

// A server with a client already logged in, the usual start of a case.
struct Session
{
    explicit Session(const std::function<void(sim::Options &)> &tweak = {})
        : server(startServer(tweak)), c(server->port()), loggedIn(c.login())
    {
    }
    // Sends `line` and sees the server take it and answer nothing for `ms`.
    bool unanswered(const QByteArray &line, int ms = 200)
    {
        c.send(line);
        return server->waitForCommand(QString::fromLatin1(line), 5000) && c.silentFor(ms);
    }
    std::unique_ptr<sim::Server> server;
    Client c;
    bool loggedIn;
};

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

private slots:
    void loginAndLineFraming()
    {
        auto server = startServer();
        Client c(server->port());
        QVERIFY(c.banner.endsWith("\r\n" + kLogin));
        const QByteArray refused =
            "\r\n\t" + wire::sjisEncode(QStringLiteral("ログインできません (Login incorrect)"));
        QVERIFY(c.login("KDW4722", "QVRNT", refused + "\r\n" + kLogin));
        // Still not logged in: a command is taken as the next login name.
        QVERIFY(c.login("PR 1", "x", refused + "\r\n" + kLogin));
        c.sendRaw("KDW4721\r\n");
        QCOMPARE(c.readUntil(":"), QByteArray("\r\nPassword :"));
        c.sendRaw("QVRNT\r\nPR 1\r\n");
        QCOMPARE(c.readUntil("#"), QByteArray("\r\n#"));
        QCOMPARE(c.readUntil("#"), QByteArray("\r\n 1\r\n#"));
        // Each client's half line stays its own, across another client's login and lines.
        c.sendRaw("PR 7");
        Client other(server->port());
        QVERIFY(other.login());
        other.sendRaw("PR 8");
        c.sendRaw("9\r");
        QCOMPARE(c.readUntil("#"), QByteArray("\r\n 79\r\n#"));
        other.sendRaw("\r");
        QCOMPARE(other.readUntil("#"), QByteArray("\r\n 8\r\n#"));
        // Load mode is each client's own: the other's lines stay commands.
        QCOMPARE(c.exchange("ECHO 2"), QByteArray("\r\n#"));
        QCOMPARE(other.exchange("PR 5"), QByteArray("\r\n 5\r\n#"));
        QCOMPARE(c.exchange("A=1"), QByteArray("#"));
    }

    void chunkSplitsReplies()
    {
        const int chunk = 5; // splits the two-byte characters at every other piece
        Session s([](sim::Options &o) { o.chunk = chunk; });
        QVERIFY(s.loggedIn); // login prompts are not chunked
        const QString text = QStringLiteral("構文エラー").repeated(8);
        s.server->withMachine([&text](sim::Machine &m) { m.setVariable(QStringLiteral("S$"), text); });
        const QByteArray expected = "\r\n " + wire::sjisEncode(text) + "\r\n#";
        const int pieces = int((expected.size() + chunk - 1) / chunk);
        s.c.reads = 0;
        QElapsedTimer t;
        t.start();
        s.c.send("PR S$");
        QCOMPARE(s.c.readUntil("\r\n#"), expected);
        // Pieces leave at least a millisecond apart (give or take the clocks' rounding).
        QVERIFY2(t.elapsed() >= pieces - 2, qPrintable(QString::number(t.elapsed())));
        QVERIFY(s.c.reads >= 2);
    }

    void stallStopsAnsweringAndCountsAgain()
    {
        Session s([](sim::Options &o) { o.stallAfter = 2; });
        QVERIFY(s.loggedIn);
        Client &c = s.c;
        QCOMPARE(c.exchange("PR 1"), QByteArray("\r\n 1\r\n#"));
        QCOMPARE(c.exchange("PR 2"), QByteArray("\r\n 2\r\n#"));
        QVERIFY(s.unanswered("PR 3", 300));
        QCOMPARE(c.socket.state(), QAbstractSocket::ConnectedState);
        sim::Options o;
        o.port = 0;
        s.server->setOptions(o);
        QCOMPARE(c.exchange("PR 4"), QByteArray("\r\n 4\r\n#"));
        // New options count from zero again, whatever went before.
        o.stallAfter = 1;
        s.server->setOptions(o);
        QCOMPARE(c.exchange("PR 5"), QByteArray("\r\n 5\r\n#"));
        QVERIFY(s.unanswered("PR 6"));
    }

    void dropClosesAfterTheReply()
    {
        Session s([](sim::Options &o) { o.dropAfter = 1; });
        QVERIFY(s.loggedIn);
        // Both lines arrive together; only the first is carried out.
        s.c.sendRaw("A=5\rB=6\r");
        QCOMPARE(s.c.readUntil("#"), QByteArray("\r\n#"));
        QVERIFY(s.c.closed());
        Client again(s.server->port());
        QVERIFY(again.login());
        QCOMPARE(again.exchange("PR A B"), QByteArray("\r\n 5 0\r\n#"));
    }

    void midReplyCutsThenStallsOrCloses()
    {
        for (const bool drop : {false, true}) {
            Session s([drop](sim::Options &o) { (drop ? o.dropMid : o.stallMid) = 1; });
            QVERIFY(s.loggedIn);
            QCOMPARE(s.c.exchange("PR 1"), QByteArray("\r\n 1\r\n#"));
            s.c.send("PR 23");
            QCOMPARE(s.c.readUntil({}, 4), QByteArray("\r\n 2"));
            QVERIFY(drop ? s.c.closed() : s.unanswered("PR 4")); // closes, or takes the next line unanswered
        }
    }

    void floodFollowsLogin()
    {
        // The flood follows the login's prompt even when that prompt is sent late or in pieces.
        for (const bool delayed : {true, false}) {
            Session s([delayed](sim::Options &o) {
                o.flood = 4010;
                (delayed ? o.delayMs : o.chunk) = delayed ? 20 : 1;
            });
            QVERIFY(s.loggedIn);
            QCOMPARE(s.c.readUntil({}, 4010).count("\r\nFLOOD "), 101);
        }
        Session s([](sim::Options &o) { o.flood = 4010; });
        QVERIFY(s.loggedIn);
        const QByteArray flood = s.c.readUntil({}, 4010);
        QCOMPARE(flood.size(), 4010);
        QCOMPARE(flood.count("\r\nFLOOD "), 101);
        QCOMPARE(flood.mid(4000), QByteArray("\r\nFLOOD 00")); // the last line is cut short
        QCOMPARE(s.c.exchange("PR 1"), QByteArray("\r\n 1\r\n#"));
    }

    void survivesHostileInput()
    {
        auto server = startServer();
        QRandomGenerator rng(4721);
        const auto junk = [&rng](qsizetype n) {
            QByteArray b(n, '\0');
            for (char &x : b)
                x = char(rng.bounded(256));
            return b.replace('\x02', ' '); // keep the stream in line mode
        };
        {
            Client noise(server->port());
            noise.sendRaw(junk(256 * 1024));
            noise.sendRaw(QByteArray(10 * 1024 * 1024, 'A') + "\r");
        }
        Client c(server->port());
        QVERIFY(c.login());
        c.sendRaw(QByteArray(10 * 1024 * 1024, 'B') + "\r");
        QCOMPARE(c.readUntil("#"),
                 "\r\n\t" + wire::sjisEncode(sim::Machine::errorText(sim::Machine::Err::LineTooLong)) +
                     "\r\n#");
        // After an attention byte the session is clean again, whatever the junk did.
        c.sendRaw(junk(64 * 1024) + "\x01PR 99\r");
        QVERIFY(c.readUntil("\r\n 99\r\n#").endsWith("\r\n 99\r\n#"));
        // A client that asks for far more than it reads is dropped, not buffered for without end.
        server->withMachine([](sim::Machine &m) {
            for (int n = 1; n <= 250; ++n)
                m.handleLine(QString::number(n) + " '" + QString(60000, 'x'));
        });
        c.sendRaw(QByteArray("LIST 0 0\r").repeated(8)); // 120 MB of replies
        QVERIFY(c.closed());
        QVERIFY(Client(server->port()).login());
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "test_server.moc"
