// The link end to end: login on the wire, the send path's bytes, the prompt
// wait and its time-out, a controller that goes away, connect failures and
// clicks during a wait, and a controller that floods the console.
#include "link/sjis.h"
#include "sim/machine.h"
#include "support/fixture.h"
#include "support/stallprobe.h"
#include "support/widgets.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A loopback port that never answers a connect, as a controller switched off
// or a wrong address: a listener that accepts nothing, its queue filled by a
// first connection, drops every later one unanswered.
class SilentPort
{
public:
    SilentPort()
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        const auto *addr = reinterpret_cast<sockaddr *>(&a);
        if (::bind(m_listener, addr, len) != 0 || ::listen(m_listener, 0) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return;
        for (int fill : m_fill)
            ::connect(fill, addr, len);
        m_port = ntohs(a.sin_port);
    }
    ~SilentPort()
    {
        for (int fd : {m_listener, m_fill[0], m_fill[1]})
            ::close(fd);
    }
    quint16 port() const { return m_port; }

private:
    int m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int m_fill[2] = {::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0),
                     ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)};
    quint16 m_port = 0;
};
} // namespace
#endif

class TestLink : public QObject
{
    Q_OBJECT

    // Every alert from now on gets a click that queues an action; `ran` says it ran.
    static void clickDuringAlerts(MonitorFixture &f, bool &ran)
    {
        f.dialogs.onShow = [&f, &ran](const ScriptedDialogs::Entry &) {
            f.link().enqueue([&ran]() -> QCoro::Task<> {
                ran = true;
                co_return;
            });
        };
    }

private slots:
    void sendPathAndConsoleWords()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        f.clearCommands();
        f.link().sendString(QString());
        f.link().sendString(QStringLiteral("PR \"¥\""));
        QVERIFY(f.waitFor([&] { return f.sim->received().endsWith("PR \"\\\"\r"); }));
        QVERIFY(f.sim->received().startsWith("\r"));
        // A character Shift-JIS cannot carry: a bare CR, then the alert.
        f.clearCommands();
        f.link().sendString(QStringLiteral("PR \"😀\""));
        bool ran = false; // an action clicked while the alert shows runs once it is closed
        clickDuringAlerts(f, ran);
        QVERIFY(f.waitFor([&] { return f.sim->received() == "\r" && ran; }));
        f.dialogs.onShow = nullptr;
        QCOMPARE(f.dialogs.alertTexts(), QStringList{QStringLiteral("Encode Error\n\nPR \"😀\"\r")});
        // The failed encoding leaves nothing behind: the next line goes out whole.
        f.link().sendString(QStringLiteral("PR 1"));
        QVERIFY(f.waitFor([&] { return f.sim->received() == "\rPR 1\r"; }));

        f.clearCommands();
        f.dialogs.clear();
        f.window->consolePage().echoAndSend(QStringLiteral("10 A=1"));
        QCOMPARE(f.dialogs.alertTexts(), QStringList{"Not Command"});
        QCOMPARE(sendProgram(f, QStringLiteral(" 10 A=1 ")), 0);
        QVERIFY(f.waitFor([&] { return f.sim->received() == "10\r10 A=1\r"; }));
        QVERIFY(f.consoleText().contains("\r\n10 A=1"));
        QCOMPARE(sendProgram(f, QStringLiteral("PRINT 1")), -1);
        QCOMPARE(f.dialogs.alertTexts().last(), QString("Not Program"));
    }

    void stalledPeerTimesOutWithTheStarCounter()
    {
        auto opt = MonitorFixture::makeOptions();
        opt.stallAfter = 1; // "CMD$ 0" of the login is answered, nothing after it
        MonitorFixture f(opt);
        QVERIFY(f.connectToSim());
        f.timeoutField()->setText("3");
        // The star counter appears from the third second on, counting whole
        // seconds, while the window keeps handling events.
        QStringList stars;
        auto *indicator = control<QLabel>(f.window.get(), "labelindicator");
        const auto look = [&] {
            if (indicator->isVisible() && (stars.isEmpty() || stars.last() != indicator->text()))
                stars << indicator->text();
        };
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, look);
        watch.start(5);
        f.dialogs.onShow = [&](const ScriptedDialogs::Entry &) { look(); };
        QElapsedTimer t;
        t.start();
        QVERIFY(!f.exchange(QStringLiteral("PR A")));
        QVERIFY2(t.elapsed() >= 3000 && t.elapsed() < 6000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(stars.join(","), QStringLiteral("★2,★3"));
        QCOMPARE(f.link().state(), wire::State::Disconnected);
        // The alert opens once the exchange has ended, not inside it.
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty(); }));
    }

    void timeoutWhilePollingShowsTheLastOfWhatArrived()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        QByteArray listing;
        f.sim->withMachine([&](sim::Machine &m) {
            for (int n = 1; n <= 2000; ++n)
                m.handleLine(QStringLiteral("%1 PRINT %1").arg(n));
            listing = m.handleLine(QStringLiteral("LIST 1 0"));
        });
        monitor::Poller &poller = f.window->poller();
        QVERIFY(f.run([&poller] { return poller.timerStart(); }));
        QVERIFY(poller.isRunning());
        auto slow = MonitorFixture::makeOptions();
        slow.slowBps = 10000; // some 10 KB of the listing arrive within the time-out
        f.sim->setOptions(slow);
        f.timeoutField()->setText("1");
        QVERIFY(!f.exchange(QStringLiteral("LIST 1 0")));
        const QString head = QStringLiteral("Receive Timeout\n\n");
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty(); }));
        const QStringList alerts = f.dialogs.alertTexts();
        QVERIFY(alerts.size() == 1 && alerts.first().startsWith(head) &&
                alerts.first().size() == head.size() + 2000);
        QVERIFY(QString::fromLatin1(listing).contains(alerts.first().mid(head.size())));
        // Closed without a word on the wire or in the console; an unreadable
        // field means the default of 30 seconds.
        QVERIFY(f.link().state() == wire::State::Disconnected && !poller.isRunning() &&
                !control<QPushButton>(f.window.get(), "buttonDisconnect")->isEnabled() &&
                !f.consoleText().contains("Disconn"));
        f.timeoutField()->setText("abc");
        QCOMPARE(f.link().timing().receive.count(), 30);
    }

    void controllerClosingEndsTheExchangeAtOnce()
    {
        MonitorFixture f;
        auto drop = MonitorFixture::makeOptions();
        drop.dropAfter = 0; // the next command line closes the connection unanswered
        for (const bool pending : {false, true}) {
            f.dialogs.clear();
            f.sim->setOptions(MonitorFixture::makeOptions());
            QVERIFY(f.connectToSim());
            f.sim->setOptions(drop);
            QCOMPARE(f.statusLine()->text(), QString()); // a new connection drops the note
            if (!pending) {                              // nobody waits: the status line says so
                f.link().sendString(QStringLiteral("PR 1"));
                QVERIFY(f.waitFor(
                    [&] { return f.statusLine()->text() == "The controller closed the connection."; }));
            }
            // Either way the link is down at once (well within the wait's own
            // one-second tick); an exchange that was waiting ends as a time-out would end it.
            QElapsedTimer t;
            t.start();
            // A click while the alert shows runs once it is closed.
            bool ran = false;
            clickDuringAlerts(f, ran);
            if (pending)
                QVERIFY(!f.exchange(QStringLiteral("PR 2")));
            QVERIFY(t.elapsed() < 700);
            QVERIFY(f.waitFor([&] { return f.link().state() == wire::State::Disconnected; }));
            QVERIFY(!control<QPushButton>(f.window.get(), "buttonDisconnect")->isEnabled());
            QVERIFY(f.waitFor([&] { return f.dialogs.alertTexts().size() == (pending ? 1 : 0); }));
            if (pending) {
                QCOMPARE(f.dialogs.alertTexts(), QStringList{"Receive Timeout\n\n"});
                QVERIFY(f.waitFor([&] { return ran; }));
            }
            f.dialogs.onShow = nullptr;
        }
        // A pause (a block load's, the goodbye's) ends with the connection, not at its own end.
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.connectToSim());
        f.sim->setOptions(drop);
        bool sameConnection = true;
        QVERIFY(f.run([&]() -> QCoro::Task<> {
            const std::chrono::seconds longPause(60);
            f.link().sendString(QStringLiteral("PR 3"));
            sameConnection = co_await f.link().pause(longPause);
        }));
        QVERIFY(!sameConnection);
    }

    // Disconnect then Connect, clicked while a program line waits for its
    // prompt: the wait fails, the line never goes into the new connection's
    // login, and the connect follows the wait.
    void connectClickedDuringAWaitRunsAfterIt()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        auto stall = MonitorFixture::makeOptions();
        stall.stallAfter = 0;
        f.sim->setOptions(stall);
        QTimer::singleShot(2200, [&] {
            connectButton(f)->click();
            f.sim->setOptions(MonitorFixture::makeOptions());
            connectButton(f)->click();
        });
        QCOMPARE(sendProgram(f, QStringLiteral("10 A=1")), -2);
        QVERIFY(f.waitFor([&] { return f.sim->connectionCount() == 2 && f.consoleText().endsWith('#'); }));
        QVERIFY(!f.sim->received().contains("A=1"));
        QCOMPARE(connectButton(f)->text(), QString("Disconnect"));
    }

    // No address, a refusal and a host that never answers: the same words, and nothing of the
    // attempt is left in the way of the next connect.
    void failedConnectsTimeOut()
    {
        const QString refused = QStringLiteral("127.0.0.1:1");
        QStringList addresses = {QString(), refused};
#ifdef Q_OS_LINUX
        SilentPort silent;
        QVERIFY(silent.port() != 0);
        addresses << QStringLiteral("127.0.0.1:%1").arg(silent.port());
#endif
        for (const QString &address : addresses) {
            MonitorFixture f;
            wire::Link::Timing timing = f.link().timing();
            // A refusal ends the attempt at once; the others wait the whole time.
            timing.connect = address == refused ? std::chrono::milliseconds(std::chrono::minutes(1))
                                                : std::chrono::milliseconds(300);
            timing.closingPause = std::chrono::milliseconds(0);
            f.link().setTiming(timing);
            f.addressField()->setText(address);
            connectButton(f)->click();
            QVERIFY(f.waitFor([&] { return !f.consoleText().isEmpty(); }));
            QCOMPARE(f.consoleText(), QString("*** Connection Timeout. ***\r"));
            QCOMPARE(connectButton(f)->text(), QString("Connect"));
            QVERIFY(!control<QPushButton>(f.window.get(), "buttonSend")->isEnabled());
            QVERIFY(f.dialogs.entries.isEmpty());
            QVERIFY(f.connectToSim()); // nothing of the failed attempt is in the way
        }
    }

    // A name is looked up, and the link is up as soon as the socket is, long before the connect time-out.
    void connectsByNameAtOnce()
    {
        MonitorFixture f;
        wire::Link::Timing timing = f.link().timing();
        timing.connect = std::chrono::seconds(60);
        f.link().setTiming(timing);
        f.addressField()->setText(QStringLiteral("localhost:%1").arg(f.sim->port()));
        connectButton(f)->click();
        QVERIFY(f.waitFor([&] { return f.link().state() == wire::State::Ready; }, 10000));
    }

    void loginOnTheWireThenDisconnect()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        QVERIFY(f.sim->received().startsWith("KDW4721\rQVRNT\rCMD$ 0\r"));
        QVERIFY(f.consoleText().startsWith("*** Connected to the QUORIN. ***\r"));
        f.clearCommands();
        f.window->disconnectController();
        QVERIFY(f.waitFor([&] { return f.sim->received() == "CMD$ 0\r"; }));
        QVERIFY(f.waitFor([&] { return f.link().state() == wire::State::Disconnected; }));
        QVERIFY(f.consoleText().endsWith("\r*** Disconnected. ***\r"));
        // Again without a connection: nothing sent, nothing appended.
        const QString before = f.consoleText();
        f.window->disconnectController();
        QCOMPARE(f.consoleText(), before);
        // Reconnecting clears the console first.
        QVERIFY(f.connectToSim());
        QVERIFY(f.consoleText().startsWith("*** Connected to the QUORIN. ***\r"));
        // Connect clicked during the goodbye starts the moment the goodbye has ended.
        QElapsedTimer t;
        qint64 down = -1;
        qint64 connecting = -1;
        QObject context;
        QObject::connect(&f.link(), &wire::Link::stateChanged, &context, [&](wire::State state) {
            if (state == wire::State::Disconnected)
                down = t.elapsed();
            else if (state == wire::State::Connecting)
                connecting = t.elapsed();
        });
        t.start();
        connectButton(f)->click();
        connectButton(f)->click();
        QVERIFY(f.waitFor([&] { return f.link().state() == wire::State::Ready; }));
        QVERIFY2(down >= 0 && connecting - down < 80,
                 qPrintable(QStringLiteral("%1 %2").arg(down).arg(connecting)));
    }

    // Replies take a moment: the prompts that answer the password and the
    // login's "CMD$ 0" are still on their way when the link is up.
    void firstCommandAfterLoginGetsItsOwnAnswer()
    {
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 100;
        MonitorFixture f(slow);
        std::optional<QString> reply;
        bool asked = false;
        QObject context;
        wire::Link &link = f.link();
        QObject::connect(&link, &wire::Link::stateChanged, &context, [&](wire::State state) {
            if (state != wire::State::Ready || std::exchange(asked, true))
                return;
            link.enqueue(
                [&]() -> QCoro::Task<> { reply = co_await link.exchange(QStringLiteral("PR 12345")); });
        });
        QSignalSpy replied(&link, &wire::Link::replied);
        f.connectToSim();
        QVERIFY(f.waitFor([&] { return reply.has_value(); }));
        QCOMPARE(*reply, QStringLiteral("\r\n 12345\r\n#"));
        // The health bar's round trip: the answer, and at least the controller's 100 ms.
        QVERIFY(!replied.isEmpty());
        QCOMPARE(replied.last().at(0).toString(), *reply);
        QVERIFY(replied.last().at(1).toLongLong() >= 100000);
    }

    void garbageAndFloodsNeitherCrashNorFreeze()
    {
        QTcpServer server;
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        QTcpSocket *peer = connectToPeer(f, server);
        QVERIFY(peer);
        // A flood without a line feed, then random bytes, then a prompt.
        peer->write(QByteArray(kFloodBytes, 'x'));
        QByteArray noise(4096, '\0');
        quint32 seed = 12345;
        for (char &c : noise) {
            seed = seed * 1103515245u + 12345u;
            c = static_cast<char>(seed >> 24);
        }
        peer->write(noise);
        peer->write("\r\nEND\r\n#");
        // The window answers all along: no turn of its event loop waits
        // long while the flood is read.
        StallProbe stalls(0);
        QVERIFY(f.waitFor([&] { return f.consoleText().endsWith("END\r\n#"); }, kFloodMs));
        QVERIFY(f.consoleText().count('\n') < 100);
        QVERIFY2(stalls.longestMs() < kLongestStall, qPrintable(QString::number(stalls.longestMs())));
    }

    // Prompts split across TCP packets, one byte at a time: the login's are
    // answered, and an exchange's wait ends only once its prompt is whole.
    void promptsInPieces()
    {
        QTcpServer server;
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        QTcpSocket *peer = connectToPeer(f, server);
        QVERIFY(peer);
        QByteArray heard;
        QObject::connect(peer, &QTcpSocket::readyRead, [&] { heard += peer->readAll(); });
        const auto sendInPieces = [&](const QByteArray &text, const std::function<void()> &before = {}) {
            for (const char c : text) {
                if (before)
                    before();
                peer->write(&c, 1);
                peer->flush();
                QVERIFY(f.waitFor([&] { return peer->bytesToWrite() == 0; }));
                QTest::qWait(2);
            }
        };
        sendInPieces("\r\nLogin    :");
        QVERIFY(f.waitFor([&] { return heard == "KDW4721\r"; }));
        sendInPieces("\r\nPassword :");
        QVERIFY(f.waitFor([&] { return heard == "KDW4721\rQVRNT\rCMD$ 0\r"; }));
        QCOMPARE(f.link().state(), wire::State::Ready);
        // What a running program printed before the command went out does
        // not end the wait.
        peer->write("A=1\r\n#");
        QVERIFY(f.waitFor([&] { return f.consoleText().endsWith("A=1\r\n#"); }));
        heard.clear();
        std::optional<QString> reply;
        bool done = false;
        wire::Link &link = f.link();
        link.enqueue([&]() -> QCoro::Task<> {
            reply = co_await link.exchange(QStringLiteral("PR 25"));
            done = true;
        });
        QVERIFY(f.waitFor([&] { return heard.endsWith("PR 25\r"); }));
        sendInPieces("\r\n 25\r\n#", [&] { QVERIFY(!done); });
        QVERIFY(f.waitFor([&] { return done; }));
        QCOMPARE(reply, std::optional<QString>(QStringLiteral("\r\n 25\r\n#")));
        QObject::disconnect(peer, nullptr, nullptr, nullptr); // `heard` goes before the goodbye comes
    }

private:
    static QPushButton *connectButton(MonitorFixture &f)
    {
        return control<QPushButton>(f.window.get(), "buttonConnect");
    }

    // Connects the monitor to a bare server of the test's own, as the
    // Connect button does; the server's end of the connection, or null.
    static QTcpSocket *connectToPeer(MonitorFixture &f, QTcpServer &server)
    {
        if (!server.listen(QHostAddress::LocalHost))
            return nullptr;
        f.addressField()->setText(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        QTcpSocket *peer = nullptr;
        QObject::connect(&server, &QTcpServer::newConnection, [&] { peer = server.nextPendingConnection(); });
        connectButton(f)->click();
        f.waitFor([&] { return peer != nullptr && wire::isUp(f.link().state()); });
        QObject::disconnect(&server, &QTcpServer::newConnection, nullptr, nullptr);
        return wire::isUp(f.link().state()) ? peer : nullptr;
    }

    static int sendProgram(MonitorFixture &f, const QString &line)
    {
        int result = 1;
        console::ConsolePage *page = &f.window->consolePage();
        f.run([page, line, &result]() -> QCoro::Task<> { result = co_await page->sendProgram(line); });
        return result;
    }
    // Under a sanitizer everything runs several times slower: a freeze check only.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    static constexpr qint64 kLongestStall = 3000;
    static constexpr int kFloodMs = 240000, kFloodBytes = 3 * 1024 * 1024;
#else
    static constexpr qint64 kLongestStall = 100;
    static constexpr int kFloodMs = 30000, kFloodBytes = 10 * 1024 * 1024;
#endif
};

QTEST_MAIN(TestLink)
#include "test_link.moc"
