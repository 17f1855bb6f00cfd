// The receive handler, the codec, the send path's word rules, the address
// field and number parsing, without a window or a socket.
#include "link/linkstate.h"
#include "link/receivehandler.h"
#include "link/sendpath.h"
#include "link/sjis.h"
#include "link/textutil.h"

#include <QElapsedTimer>
#include <QTest>
#include <thread>

class TestLinkCore : public QObject
{
    Q_OBJECT

    struct Harness
    {
        link::LinkState state;
        QStringList sent;
        link::ReceiveHandler handler{state, [this](const QString &l) {
                                         state.clearRcv(); // as sendString does
                                         sent << l;
                                     }};
        link::ChunkResult feed(const QByteArray &b) { return handler.onChunk(b); }
    };

private slots:
    void loginIsAnsweredInOrder()
    {
        Harness h;
        auto r = h.feed("QUORIN ready\r\nLogin    :");
        QCOMPARE(h.sent, QStringList{"KDW4721"});
        QVERIFY(r.display.isEmpty()); // the prompt text never reaches the console
        QVERIFY(r.scheduleDisplay);
        r = h.feed("\r\nPassword :");
        QCOMPARE(h.sent, (QStringList{"KDW4721", "QVRNT", "CMD$ 0"}));
        QVERIFY(h.state.beginConnect());
        QVERIFY(r.display.isEmpty());

        // Both prompts in one chunk get only the login answer.
        Harness both;
        both.feed("Login    :Password :");
        QCOMPARE(both.sent, QStringList{"KDW4721"});
        QVERIFY(!both.state.beginConnect());

        // A login prompt split between two chunks is not answered.
        Harness split;
        split.feed("Login  ");
        split.feed("  :");
        QVERIFY(split.sent.isEmpty());
    }

    void loginIsIgnoredWhileAWaitIsPending()
    {
        Harness h;
        h.state.setWaitPrompt(true);
        const auto r = h.feed("Login    :");
        QVERIFY(h.sent.isEmpty());
        QVERIFY(!r.scheduleDisplay); // collected but not shown
        QCOMPARE(h.state.rcvBuff(), QString("Login    :"));
    }

    void promptSplitAtEveryByteEndsTheWaitOnlyWhenComplete()
    {
        const QByteArray reply = "\r\n 25\r\n#";
        Harness h;
        h.state.setWaitPrompt(true);
        for (int i = 0; i < reply.size(); ++i) {
            h.feed(reply.mid(i, 1));
            const bool complete = h.state.rcvBuff().contains("\n#");
            QCOMPARE(h.state.waitPrompt(), !complete);
        }
        QVERIFY(!h.state.waitPrompt());
        QCOMPARE(h.state.rcvBuff(), QString("\r\n 25\r\n#"));
        // A wait armed next is not ended by a chunk the running program
        // prints before the command goes out: the old reply's prompt is gone.
        h.state.setWaitPrompt(true);
        h.feed("A=1\r\n");
        QVERIFY(h.state.waitPrompt());
        h.feed("\r\n#");
        h.state.setWaitSharp(true);
        h.feed("A=1\r\n");
        QVERIFY(h.state.waitSharp());
    }

    void blankThen0x80ReadsAsPrompt()
    {
        Harness h;
        h.state.setWaitPrompt(true);
        auto r = h.feed(QByteArray("ab \x80zz", 6));
        QVERIFY(!h.state.waitPrompt());
        QCOMPARE(h.state.rcvBuff(), QString("\n#"));
        Harness idle;
        r = idle.feed(QByteArray("\x01\x02 \x80", 4));
        QCOMPARE(r.display, QString("\n#"));
        QVERIFY(r.scheduleDisplay);
    }

    void breakpointPrompt_data()
    {
        QTest::addColumn<bool>("waiting");
        QTest::addColumn<bool>("bkpAfter");
        QTest::newRow("no wait: breakpoint mode stays") << false << true;
        QTest::newRow("completing a wait clears it") << true << false;
    }
    void breakpointPrompt()
    {
        QFETCH(bool, waiting);
        QFETCH(bool, bkpAfter);
        Harness h;
        h.state.setWaitPrompt(waiting);
        h.feed("\x1b[7m BREAK 20 \x1b[0m\r\n20 A=1\r\n#?");
        QCOMPARE(h.state.bkpMode(), bkpAfter);
        QVERIFY(!h.state.waitPrompt());
        h.state.rewriteBreakpointPrompt();
        QVERIFY(h.state.rcvBuff().endsWith("\r\n#"));
    }

    void doubleByteCharacterSplitBetweenChunksSurvives()
    {
        bool ok = false;
        const QByteArray bytes = link::sjisEncode(QStringLiteral("\t構文エラー\r\n#"), &ok);
        QVERIFY(ok);
        for (int cut = 1; cut < bytes.size(); ++cut) {
            Harness h;
            h.state.setWaitPrompt(true);
            h.feed(bytes.left(cut));
            h.feed(bytes.mid(cut));
            QCOMPARE(h.state.rcvBuff(), QStringLiteral("\t構文エラー\r\n#"));
            QVERIFY(!h.state.waitPrompt());
        }
    }

    void invalidBytesDoNotDropTheChunk()
    {
        Harness h;
        h.state.setWaitPrompt(true);
        h.feed(QByteArray("\r\n12\xFD\xFF\r\n#", 9));
        const QString got = h.state.rcvBuff();
        QVERIFY(got.startsWith("\r\n12"));
        QVERIFY(got.endsWith("\r\n#"));
        QVERIFY(!h.state.waitPrompt());
    }

    void backslashAndTildeAreAscii()
    {
        bool ok = false;
        QCOMPARE(link::sjisEncode("\\~", &ok), QByteArray("\x5C\x7E"));
        QVERIFY(ok);
        QCOMPARE(link::sjisDecode(QByteArray("\x5C\x7E")), QString("\\~"));
    }

    // The small text rules of the send path, the address field and number
    // parsing, each result written out as one string.
    void textRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        const auto row = [](const char *rule, const char *in, const char *out) {
            const QByteArray tag =
                QByteArray(rule) + " \"" + QByteArray(in).replace('\r', "\\r").replace('\n', "\\n") + '"';
            QTest::newRow(tag.constData()) << rule << QString::fromLatin1(in) << out;
        };
        // Console words: the trimmed line and whether its first word is a line number.
        row("words", "-5 X", "-5 X|number");
        row("words", "12X A", "12X A|text");
        row("words", "\r\n LIST\t0 \n", "LIST 0|text");
        // Arguments that must all be numbers; only "&H" marks hexadecimal.
        row("args", "SETP 7 100 -20 0", "ok");
        row("args", "SETP 7 &HFF &H1f", "ok");
        row("args", "SETP 7 &HFF &h1f", "refused");
        row("args", "SETP 7 ", "refused");
        row("args", "SETP 12X", "refused");
        row("args", "SETP &H", "refused");
        // The address field; a bare host keeps the default port 23.
        row("address", "10.1.2.3", "10.1.2.3 23");
        row("address", "127.0.0.1:2323", "127.0.0.1 2323");
        row("address", "[::1]:2323", "::1 2323");
        row("address", "", "refused");
        row("address", "h:99999", "refused");
        row("address", "h:abc", "refused");
        row("int", "12", "12");
        row("int", "-8185", "-8185");
        row("int", " 1", "refused");
        row("int", "-", "refused");
        row("int", "99999999999999999999", "refused");
    }
    void textRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, in);
        QFETCH(QString, out);
        const QString refused = QStringLiteral("refused");
        QString got;
        if (rule == QLatin1String("words")) {
            const auto c = link::prepareConsoleLine(in);
            got = c.trimmed + (c.firstIsLineNumber ? QStringLiteral("|number") : QStringLiteral("|text"));
        } else if (rule == QLatin1String("args")) {
            got = link::argumentsAreNumbers(in) ? QStringLiteral("ok") : refused;
        } else if (rule == QLatin1String("address")) {
            const auto a = link::parseAddress(in, 23);
            got = a.ok ? a.host + QLatin1Char(' ') + QString::number(a.port) : refused;
        } else {
            const auto r = text::parseInt(in);
            got = r ? QString::number(*r) : refused;
        }
        QCOMPARE(got, out);
    }

    void waiterWakesWhenTheReceiverClearsTheFlag()
    {
        // The reply lands only once the waiter is about to sleep (its second
        // look at the flags); without a wake-up it would sleep out the 10 s.
        link::LinkState state;
        state.setWaitPrompt(true);
        std::atomic<int> looks{0};
        std::thread receiver([&] {
            while (looks < 2)
                std::this_thread::yield();
            link::ReceiveHandler(state, [](const QString &) {}).onChunk("\r\n1\r\n#");
        });
        QElapsedTimer t;
        t.start();
        const bool done = state.sleepWhileWaitPrompt(std::chrono::seconds(10), [&] { return ++looks < 0; });
        receiver.join();
        QVERIFY(done && t.elapsed() < 5000);
    }
};

QTEST_GUILESS_MAIN(TestLinkCore)
#include "test_linkcore.moc"
