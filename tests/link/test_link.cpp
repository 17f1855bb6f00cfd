// The link end to end: login on the wire, the send path's bytes, the prompt wait and its
// time-out, a controller that goes away, failed connects and a controller that floods.
#include "sim/machine.h"
#include "support/fixture.h"
#include "support/stallprobe.h"
#include "support/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TestLink : public QObject
{
    Q_OBJECT

    static QPushButton *button(MonitorFixture &f, const char *name = "buttonConnect")
    {
        return control<QPushButton>(f.window.get(), name);
    }
    static void setConnectTiming(MonitorFixture &f, std::chrono::milliseconds connect,
                                 std::chrono::milliseconds closingPause = {})
    {
        wire::Link::Timing timing = f.link().timing();
        timing.connect = connect;
        timing.closingPause = closingPause;
        f.link().setTiming(timing);
    }
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
    // Queues one exchange; `reply` is set once it has ended.
    static void exchangeLater(wire::Link &link, const QString &command, std::optional<QString> &reply)
    {
        link.enqueue([&link, command, &reply]() -> QCoro::Task<> {
            const std::optional<QString> answer = co_await link.exchange(command);
            reply = answer.value_or(QStringLiteral("<failed>"));
        });
    }
    // Connects the window to a peer the test speaks for; null if it never comes up.
    static QTcpSocket *barePeer(MonitorFixture &f, QTcpServer &server)
    {
        if (!server.listen(QHostAddress::LocalHost))
            return nullptr;
        f.addressField()->setText(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        button(f)->click();
        if (!f.waitFor([&] { return server.hasPendingConnections() && wire::isUp(f.link().state()); }))
            return nullptr;
        return server.nextPendingConnection();
    }
    static int sendProgram(MonitorFixture &f, const QString &line)
    {
        int result = 1;
        console::ConsolePage *page = &f.window->consolePage();
        f.run([page, line, &result]() -> QCoro::Task<> { result = co_await page->sendProgram(line); });
        return result;
    }

private slots:
    void sendPathAndConsoleWords()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        // An alert due during an exchange opens before the next one; those queued go out each in turn.
        std::optional<QString> unsendable, first, second;
        exchangeLater(f.link(), QStringLiteral("PR \"\U0001F600\""), unsendable); // no Shift-JIS for it
        exchangeLater(f.link(), QStringLiteral("PR 1"), first);
        exchangeLater(f.link(), QStringLiteral("PR 2"), second);
        QVERIFY(f.waitFor([&] { return first && second; }));
        QCOMPARE(f.dialogs.alertTexts(), QStringList{QStringLiteral("Encode Error\n\nPR \"😀\"\r")});
        QCOMPARE(*first, QStringLiteral("\r\n 1\r\n#"));
        QCOMPARE(*second, QStringLiteral("\r\n 2\r\n#"));
        f.dialogs.clear();
        f.clearCommands();
        f.link().sendString(QString());
        f.link().sendString(QStringLiteral("PR \"¥\""));
        QVERIFY(f.waitFor([&] { return f.sim->received().endsWith("PR \"\\\"\r"); }));
        QVERIFY(f.sim->received().startsWith("\r"));
        // No Shift-JIS for it: a bare CR, then the alert; a click during the alert runs after it.
        f.clearCommands();
        f.link().sendString(QStringLiteral("PR \"😀\""));
        bool ran = false;
        clickDuringAlerts(f, ran);
        QVERIFY(f.waitFor([&] { return f.sim->received() == "\r" && ran; }));
        f.dialogs.onShow = nullptr;
        QCOMPARE(f.dialogs.alertTexts(), QStringList{QStringLiteral("Encode Error\n\nPR \"😀\"\r")});
        // The failed encoding leaves nothing behind: the next line goes out whole.
        f.link().sendString(QStringLiteral("PR 1"));
        QVERIFY(f.waitFor([&] { return f.sim->received() == "\rPR 1\r"; }));
        // A line break inside would make two command lines of one: a bare CR, then the alert.
        f.clearCommands();
        f.dialogs.clear();
        f.link().sendString(QStringLiteral("PR 1\r\nON 3"));
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty() && !f.sim->received().isEmpty(); }));
        QCOMPARE(f.sim->received(), QByteArray("\r"));
        QCOMPARE(f.dialogs.alertTexts(), QStringList{QStringLiteral("Encode Error\n\nPR 1\r\nON 3\r")});

        f.clearCommands();
        f.dialogs.clear();
        // The console's refusals open once the line's action has let go of the link.
        bool heldTheLink = false;
        f.dialogs.onShow = [&](const ScriptedDialogs::Entry &) {
            heldTheLink = heldTheLink || f.link().busy();
        };
        const auto alerted = [&f](qsizetype n) {
            return f.waitFor([&] { return f.dialogs.entries.size() == n; });
        };
        control<QComboBox>(f.window.get(), "comboBox1")->setEditText(QStringLiteral("10 A=1"));
        button(f, "buttonSend")->click();
        QVERIFY(alerted(1));
        QCOMPARE(f.dialogs.alertTexts(), QStringList{"Not Command"});
        QCOMPARE(sendProgram(f, QStringLiteral(" 10 A=1 ")), 0);
        QVERIFY(f.waitFor([&] { return f.sim->received() == "10\r10 A=1\r"; }));
        QVERIFY(f.waitFor(
            [&] { return f.consoleText().contains("\r\n10 A=1") && f.consoleText().endsWith(u'#'); }));
        // The line's own answer is waited for: a prompt still on its way does not end the next exchange.
        f.slowReplies(100);
        QCOMPARE(sendProgram(f, QStringLiteral("20 B=2")), 0);
        QCOMPARE(f.exchange(QStringLiteral("PR 7")), std::optional<QString>(QStringLiteral("\r\n 7\r\n#")));
        QVERIFY(f.consoleText().endsWith(QStringLiteral("\r\n20 B=2\r\n#")));
        f.slowReplies(0);
        QCOMPARE(sendProgram(f, QStringLiteral("PRINT 1")), -1);
        QVERIFY(alerted(2));
        QCOMPARE(f.dialogs.alertTexts().last(), QString("Not Program"));
        // A line that cannot go out leaves the stored line alone: its number alone would delete it.
        f.clearCommands();
        QCOMPARE(sendProgram(f, QStringLiteral("10 PR \"\U0001F600\"")), -1);
        QVERIFY(alerted(3));
        QCOMPARE(f.dialogs.alertTexts().last(), QStringLiteral("Encode Error\n\n10 PR \"😀\"\r"));
        QVERIFY(!heldTheLink);
        f.dialogs.onShow = nullptr;
        QVERIFY(f.exchange(QStringLiteral("LIST")));
        QCOMPARE(f.sim->received(), QByteArray("LIST\r"));

        // A running program's print shows on the Variables tab; an exchange's reply leaves it there.
        for (int row = 0; row < 8; ++row) // no polling of its own
            control<QCheckBox>(f.window.get(), QStringLiteral("checkboxVari%1").arg(row))->setChecked(false);
        f.selectTab(QStringLiteral("2"));
        QVERIFY(f.waitForCommand(QStringLiteral("CMD$"))); // polling starts with it
        f.settle();
        auto *lastReply = control<QLineEdit>(f.window.get(), "textFieldVariable");
        f.sim->withMachine([](sim::Machine &m) {
            m.handleLine(QStringLiteral("10 PRINT \"HELLO\""));
            m.handleLine(QStringLiteral("RUN"));
        });
        QVERIFY(f.waitFor([&] { return lastReply->text().trimmed() == QLatin1String("HELLO"); }));
        QVERIFY(f.exchange(QStringLiteral("PR 1")));
        QCOMPARE(lastReply->text().trimmed(), QStringLiteral("HELLO"));
    }

    void timeoutsAndTheControllerClosing()
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
        // Closed without a word on the wire or in the console; an unreadable field means 30 s.
        QVERIFY(f.link().state() == wire::State::Disconnected && !poller.isRunning() &&
                !button(f, "buttonDisconnect")->isEnabled() && !f.consoleText().contains("Disconn"));
        f.timeoutField()->setText("abc");
        QCOMPARE(f.link().timing().receive.count(), 30);

        // A stalled peer: the star counter shows from the third second in whole seconds; the alert
        // opens once the exchange has ended.
        auto stall = MonitorFixture::makeOptions();
        stall.stallAfter = 1; // "CMD$ 0" of the login is answered, nothing after it
        f.sim->setOptions(stall);
        f.dialogs.clear();
        QVERIFY(f.connectToSim());
        f.timeoutField()->setText("3");
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
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty(); }));
        f.dialogs.clear();
        // "0" (typed, or on the way from "30" to "10") does not end a wait before its reply can come.
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.connectToSim());
        f.slowReplies(200);
        f.timeoutField()->setText("0");
        QVERIFY(f.exchange(QStringLiteral("PR 1")));
        f.timeoutField()->setText("3");

        // The controller closing (unwaited: the fault matrix's drop-mid cells); a new connection drops
        // the note, and a waiting exchange ends at once. After `reconnect` the next command line closes.
        const auto reconnect = [&f](int sim::Options::*fault = &sim::Options::dropAfter) {
            f.sim->setOptions(MonitorFixture::makeOptions());
            const bool up = f.connectToSim();
            sim::Options next = MonitorFixture::makeOptions();
            next.*fault = 0;
            f.sim->setOptions(next);
            return up;
        };
        QVERIFY(reconnect());
        f.link().sendString(QStringLiteral("PR 1"));
        QVERIFY(f.waitFor([&] { return f.statusLine()->text() == "The controller closed the connection."; }));
        QVERIFY(reconnect());
        QCOMPARE(f.statusLine()->text(), QString());
        bool ran = false; // a click while the alert shows runs once it is closed
        clickDuringAlerts(f, ran);
        t.start();
        QVERIFY(!f.exchange(QStringLiteral("PR 2")));
        QVERIFY(t.elapsed() < 700);
        QVERIFY(f.waitFor([&] { return f.link().state() == wire::State::Disconnected && ran; }));
        QVERIFY(!button(f, "buttonDisconnect")->isEnabled());
        QCOMPARE(f.dialogs.alertTexts(), QStringList{"Receive Timeout\n\n"});
        f.dialogs.onShow = nullptr;
        // A pause (a block load's, the goodbye's) ends with the connection, not at its own end.
        QVERIFY(reconnect());
        bool sameConnection = true;
        QVERIFY(f.run([&]() -> QCoro::Task<> {
            const std::chrono::seconds longPause(60);
            f.link().sendString(QStringLiteral("PR 3"));
            sameConnection = co_await f.link().pause(longPause);
        }));
        QVERIFY(!sameConnection);
        // What came in just before the end is still shown.
        QVERIFY(reconnect(&sim::Options::dropMid));
        f.link().sendString(QStringLiteral("PR \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\""));
        QVERIFY(f.waitFor([&] { return f.statusLine()->text() == "The controller closed the connection."; }));
        QVERIFY(f.consoleText().endsWith("ABCDEFGHIJKLM")); // the reply's first half
        // A wait counted from the last byte still times out when a reply breaks off halfway.
        QVERIFY(reconnect(&sim::Options::stallMid));
        f.timeoutField()->setText("1");
        std::optional<QString> partial = QStringLiteral("unset");
        t.start();
        QVERIFY(f.run([&]() -> QCoro::Task<> {
            const wire::Wait fromLastByte{wire::Wait::Until::Prompt, wire::Wait::Count::FromLastByte};
            partial =
                co_await f.link().exchange(QStringLiteral("PR \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\""), fromLastByte);
        }));
        QVERIFY2(!partial && t.elapsed() >= 1000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(f.link().state(), wire::State::Disconnected);
    }

    // No address, a refusal and a silent host: the same words, and the next connect works.
    void failedConnectsTimeOut()
    {
        const QString refused = QStringLiteral("127.0.0.1:1");
        QStringList addresses = {QString(), refused};
        // A host that never answers: a listener whose queue is full drops every later connection.
        QTcpServer silent;
        silent.setListenBacklogSize(0);
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        silent.pauseAccepting();
        QTcpSocket fill[2];
        for (QTcpSocket &s : fill)
            s.connectToHost(QHostAddress::LocalHost, silent.serverPort());
#ifdef Q_OS_LINUX
        addresses << QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
#endif
        for (const QString &address : addresses) {
            MonitorFixture f;
            // A refusal ends the attempt at once; the others wait the whole time.
            setConnectTiming(f,
                             address == refused ? std::chrono::minutes(1) : std::chrono::milliseconds(300));
            f.addressField()->setText(address);
            QElapsedTimer t;
            t.start();
            button(f)->click();
            QVERIFY(f.waitFor([&] { return !f.consoleText().isEmpty(); }));
            QVERIFY2(address == refused || t.elapsed() >= 300, qPrintable(address));
            QCOMPARE(f.consoleText(), QString("*** Connection Timeout. ***\r"));
            QCOMPARE(button(f)->text(), QString("Connect"));
            QVERIFY(!button(f, "buttonSend")->isEnabled());
            QVERIFY(f.dialogs.entries.isEmpty());
            QVERIFY(f.connectToSim());
        }
    }

    // The login's last prompts are still on their way when the link is up, yet the first command
    // gets its own answer (the round trip it takes is the health bar suite's).
    void loginOnTheWireThenDisconnect()
    {
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 100;
        slow.slowBps = 1000; // and the two prompts come apart
        // Outlives the link, which may still send its goodbye.
        struct Recorder : wire::WireTap
        {
            QByteArray out, secret, in;
            void sent(const QByteArray &bytes, bool hidden) override
            {
                out += bytes;
                if (hidden)
                    secret += bytes;
            }
            void received(const QByteArray &bytes) override { in += bytes; }
        } tap;
        MonitorFixture f(slow);
        f.link().setWireTap(&tap);
        std::optional<QString> reply;
        bool asked = false;
        QObject context;
        QObject::connect(&f.link(), &wire::Link::stateChanged, &context, [&](wire::State state) {
            if (state == wire::State::Ready && !std::exchange(asked, true))
                exchangeLater(f.link(), QStringLiteral("PR 12345"), reply);
        });
        f.connectToSim();
        QVERIFY(f.waitFor([&] { return reply.has_value(); }));
        QCOMPARE(*reply, QStringLiteral("\r\n 12345\r\n#"));
        // The wire tap (the session transcript's source) hears every byte in order; the login
        // name and password, which go first, are marked secret, nothing after them is.
        QCOMPARE(tap.out, f.sim->received());
        QVERIFY(!tap.secret.isEmpty() && tap.out.startsWith(tap.secret) && !tap.secret.contains("CMD$"));
        QVERIFY(tap.in.endsWith("\r\n 12345\r\n#"));
        f.sim->setOptions(MonitorFixture::makeOptions());
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
        // Connect during the goodbye starts as it ends; a name is looked up, up long before the time-out.
        setConnectTiming(f, std::chrono::minutes(1), std::chrono::milliseconds(300));
        f.addressField()->setText(QStringLiteral("localhost:%1").arg(f.sim->port()));
        QElapsedTimer t;
        qint64 down = -1;
        qint64 connecting = -1;
        QObject::connect(&f.link(), &wire::Link::stateChanged, &context, [&](wire::State state) {
            if (state == wire::State::Disconnected)
                down = t.elapsed();
            else if (state == wire::State::Connecting)
                connecting = t.elapsed();
        });
        t.start();
        button(f)->click();
        button(f)->click();
        QVERIFY(f.waitFor([&] { return f.link().state() == wire::State::Ready; }, 10000));
        QVERIFY2(down >= 300 && connecting - down < 80, // the goodbye's pause, then at once
                 qPrintable(QStringLiteral("%1 %2").arg(down).arg(connecting)));

        // Disconnect and Connect while a program line waits: it never goes into the new login.
        QVERIFY(f.waitFor([&] { return f.consoleText().endsWith('#'); })); // the login's last prompt
        const int connections = f.sim->connectionCount();
        auto stall = MonitorFixture::makeOptions();
        stall.stallAfter = 0;
        f.sim->setOptions(stall);
        QTimer::singleShot(2200, [&] {
            button(f)->click();
            f.sim->setOptions(MonitorFixture::makeOptions());
            button(f)->click();
        });
        QCOMPARE(sendProgram(f, QStringLiteral("10 A=1")), -2);
        QVERIFY(f.waitFor(
            [&] { return f.sim->connectionCount() == connections + 1 && f.consoleText().endsWith('#'); }));
        QVERIFY(!f.sim->received().contains("A=1"));
        QCOMPARE(button(f)->text(), QString("Disconnect"));
    }

    // After the login, a reply that quotes a login prompt (a string printed, a program line listed) is
    // shown like any other, and nothing answers it.
    void loginPromptQuotedAfterTheLogin_data()
    {
        QTest::addColumn<QString>("prompt");
        QTest::newRow("login") << QStringLiteral("Login    :");
        QTest::newRow("password") << QStringLiteral("Password :");
    }
    void loginPromptQuotedAfterTheLogin()
    {
        QFETCH(QString, prompt);
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        QVERIFY(f.waitFor([&] { return f.consoleText().endsWith('#'); })); // the login's last prompt
        f.clearCommands();
        const QString command = "PR \"" + prompt + "\"";
        f.window->consolePage().echoAndSend(command);
        f.waitFor([&] { return f.consoleText().endsWith(" " + prompt + "\r\n#"); }, 2000);
        QCOMPARE(f.consoleText().right(command.size() + prompt.size() + 8),
                 "\r\n" + command + "\r\n " + prompt + "\r\n#");
        QCOMPARE(f.exchange(QStringLiteral("PR 1")).value_or("<no answer>"), QStringLiteral("\r\n 1\r\n#"));
        QCOMPARE(f.commands(), (QStringList{command, "PR 1"}));
        QCOMPARE(f.dialogs.alertTexts(), QStringList());
    }

    // Disconnect pressed while a slow reply holds the link: a click queued behind it (Run) goes nowhere,
    // after the goodbye least of all. A time-out or the controller hanging up drops it as well.
    void disconnectDropsWhatWaitsItsTurn()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        setConnectTiming(f, f.link().timing().connect, std::chrono::milliseconds(300));
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 2000;
        f.sim->setOptions(slow);
        f.clearCommands();
        button(f, "buttonMon")->click(); // waits for its answer
        button(f, "buttonRun")->click();
        QVERIFY(f.waitForCommand(QStringLiteral("CMD$")) && f.link().busy());
        f.disconnect();
        QCOMPARE(f.commands().join(" | "), QStringLiteral("CMD$ | CMD$ 0"));
        // Clear all, queued behind a wait that times out or is hung up on, does not say it cleared.
        for (int sim::Options::*fault : {&sim::Options::delayMs, &sim::Options::dropAfter}) {
            slow = MonitorFixture::makeOptions();
            f.sim->setOptions(slow);
            QVERIFY(f.connectToSim());
            f.timeoutField()->setText("1");
            slow.*fault = fault == &sim::Options::delayMs ? 2000 : 0;
            f.sim->setOptions(slow);
            button(f, "buttonMon")->click();
            button(f, "buttonBkpAllClr")->click();
            QVERIFY(
                f.waitFor([&] { return f.link().state() == wire::State::Disconnected && !f.link().busy(); }));
            QVERIFY(!f.consoleText().contains("[BKP: All cleared]"));
        }
    }

    // A window that goes while its link says goodbye ends the goodbye's pause at once, while the link is
    // still there to end it: left to its timer, the goodbye would resume into a link already gone.
    void windowGoesDuringTheGoodbye()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        setConnectTiming(f, f.link().timing().connect, std::chrono::minutes(1));
        f.clearCommands();
        bool closed = false;
        [](wire::Link *link, bool *closed) -> QCoro::Task<> {
            co_await link->close();
            *closed = true;
        }(&f.link(), &closed);
        QVERIFY(f.waitFor([&] { return f.sim->received() == "CMD$ 0\r"; }));
        QVERIFY(!closed);
        f.window.reset();
        QVERIFY(closed);
    }

    // A bare peer, before the login: a flood without a line feed, random bytes, then a prompt never
    // freeze the window.
    void floodBeforeTheLogin()
    {
        QTcpServer server;
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        QTcpSocket *peer = barePeer(f, server);
        QVERIFY(peer);
        peer->write(QByteArray(kFloodBytes, 'x'));
        QByteArray noise(4096, '\0');
        QRandomGenerator(12345).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        peer->write(noise);
        peer->write("\r\nEND\r\n#");
        StallProbe stalls(0);
        QVERIFY(f.waitFor([&] { return f.consoleText().endsWith("END\r\n#"); }, kFloodMs));
        stalls.stop();
        QVERIFY(f.consoleText().count('\n') < 100);
        QVERIFY2(stalls.longestMs() < kLongestStall, qPrintable(QString::number(stalls.longestMs())));
    }

    // Prompts a byte at a time: the login's are answered, a controller that gives one prompt
    // after the password is waited for only briefly, an exchange's wait ends only once its prompt is whole.
    void promptsInPieces()
    {
        QTcpServer server;
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        QTcpSocket *peer = barePeer(f, server);
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
        // Logged in only once the password prompt is whole.
        const auto loggingIn = [&] { QCOMPARE(f.link().state(), wire::State::LoggingIn); };
        sendInPieces("\r\nLogin    :", loggingIn);
        QVERIFY(f.waitFor([&] { return heard == "KDW4721\r"; }));
        sendInPieces("\r\nPassword :", loggingIn);
        QVERIFY(f.waitFor([&] { return heard == "KDW4721\rQVRNT\rCMD$ 0\r"; }));
        QCOMPARE(f.link().state(), wire::State::Ready);
        // What a running program printed before the command went out does not end the wait.
        peer->write("A=1\r\n#");
        QVERIFY(f.waitFor([&] { return f.consoleText().endsWith("A=1\r\n#"); }));
        heard.clear();
        std::optional<QString> reply;
        exchangeLater(f.link(), QStringLiteral("PR 25"), reply);
        QVERIFY(f.waitFor([&] { return heard.endsWith("PR 25\r"); }));
        sendInPieces("\r\n 25\r\n#", [&] { QVERIFY(!reply); });
        QVERIFY(f.waitFor([&] { return reply.has_value(); }));
        QCOMPARE(*reply, QStringLiteral("\r\n 25\r\n#"));
        // A refused login goes down at once with the controller's words, instead of answering for ever.
        heard.clear();
        peer->write("\r\n\tLogin incorrect\r\nLogin    :");
        QVERIFY(f.waitFor([&] { return f.link().state() == wire::State::Disconnected; }, 1000));
        QVERIFY(f.waitFor([&] { return f.dialogs.alertTexts().join('|').contains("Login incorrect"); }));
        QCOMPARE(heard, QByteArray());
        QObject::disconnect(peer, nullptr, nullptr, nullptr);
    }

#ifdef Q_OS_UNIX
    // Without a sink the trace goes to standard output, a line each, in UTF-8.
    void traceOnStandardOutput()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        std::fflush(stdout);
        const int saved = ::dup(STDOUT_FILENO);
        ::dup2(file.handle(), STDOUT_FILENO);
        wire::setTraceSink(nullptr);
        wire::trace(QStringLiteral("Dec"));
        wire::trace(QStringLiteral("tabview label: 入出力"));
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        wire::setTraceSink([](const QString &){});
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), QByteArray("Dec\ntabview label: 入出力\n"));
    }
#endif

private:
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
