// The receive handler, the codec, the send path's word rules and the address
// field, without a window or a socket.
#include "link/linkstate.h"
#include "link/receivehandler.h"
#include "link/sendpath.h"
#include "link/sjis.h"
#include "link/textutil.h"

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
    }

    void bothPromptsInOneChunkGetOnlyTheLoginAnswer()
    {
        Harness h;
        h.feed("Login    :Password :");
        QCOMPARE(h.sent, QStringList{"KDW4721"});
        QVERIFY(!h.state.beginConnect());
    }

    void splitLoginPromptIsNotAnswered()
    {
        Harness h;
        h.feed("Login  ");
        h.feed("  :");
        QVERIFY(h.sent.isEmpty());
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
        for (int cut = 1; cut < reply.size(); ++cut) {
            Harness h;
            h.state.setWaitPrompt(true);
            for (int i = 0; i < reply.size(); ++i) {
                h.feed(reply.mid(i, 1));
                const bool complete = h.state.rcvBuff().contains("\n#");
                QCOMPARE(h.state.waitPrompt(), !complete);
            }
            QVERIFY(!h.state.waitPrompt());
            QCOMPARE(h.state.rcvBuff(), QString("\r\n 25\r\n#"));
        }
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
        const auto r = h.feed("\x1b[7m BREAK 20 \x1b[0m\r\n20 A=1\r\n#?");
        QCOMPARE(h.state.bkpMode(), bkpAfter);
        QVERIFY(!h.state.waitPrompt());
        QCOMPARE(r.trace.contains("bkpmode"), true);
        h.state.rewriteBreakpointPrompt();
        QVERIFY(h.state.rcvBuff().endsWith("\r\n#"));
    }

    void hashWaitEndsOnAnyHash()
    {
        Harness h;
        h.state.setWaitSharp(true);
        h.feed("\r\nA#B");
        QVERIFY(!h.state.waitSharp());
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
        link::sjisEncode(QStringLiteral("😀"), &ok);
        QVERIFY(!ok);
    }

    void consoleWords_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("trimmed");
        QTest::addColumn<bool>("lineNumber");
        QTest::newRow("program line") << "10 PRINT A" << "10 PRINT A" << true;
        QTest::newRow("blanks, tab, blank") << "  LIST\t0 " << "LIST 0" << false;
        QTest::newRow("negative number") << "-5 X" << "-5 X" << true;
        QTest::newRow("digits then letter") << "12X A" << "12X A" << false;
        QTest::newRow("newlines then blanks") << "\r\n RUN \n" << "RUN" << false;
        QTest::newRow("empty") << "" << "" << false;
    }
    void consoleWords()
    {
        QFETCH(QString, line);
        QFETCH(QString, trimmed);
        QFETCH(bool, lineNumber);
        const auto c = link::prepareConsoleLine(line);
        QCOMPARE(c.trimmed, trimmed);
        QCOMPARE(c.firstIsLineNumber, lineNumber);
    }

    void wireLineSendsYenAsBackslash()
    {
        QCOMPARE(link::wireLine(QStringLiteral("PR \"a¥b\"")), QStringLiteral("PR \"a\\b\"\r"));
        QCOMPARE(link::wireLine(QString()), QStringLiteral("\r"));
    }

    void argumentCheck_data()
    {
        QTest::addColumn<QString>("msg");
        QTest::addColumn<bool>("ok");
        QTest::newRow("command alone") << "SETP" << true;
        QTest::newRow("decimals") << "SETP 7 100 -20 0" << true;
        QTest::newRow("hex") << "SETP 7 &HFF &h1f" << false; // only "&H" marks hexadecimal
        QTest::newRow("hex upper") << "SETP 7 &HFF &H1f" << true;
        QTest::newRow("trailing blank") << "SETP 7 " << false;
        QTest::newRow("double blank") << "SETP 7 100  &H1F 0" << false;
        QTest::newRow("12X") << "SETP 12X" << false;
        QTest::newRow("&H alone") << "SETP &H" << false;
    }
    void argumentCheck()
    {
        QFETCH(QString, msg);
        QFETCH(bool, ok);
        QCOMPARE(link::argumentsAreNumbers(msg), ok);
    }

    void addressField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("bare host keeps 23") << "10.1.2.3" << "10.1.2.3" << 23;
        QTest::newRow("host:port") << "127.0.0.1:2323" << "127.0.0.1" << 2323;
        QTest::newRow("bracketed v6") << "[::1]:2323" << "::1" << 2323;
        QTest::newRow("bare v6") << "::1" << "::1" << 23;
        QTest::newRow("empty") << "" << "" << -1;
        QTest::newRow("bad port") << "h:99999" << "" << -1;
        QTest::newRow("port text") << "h:abc" << "" << -1;
    }
    void addressField()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        const auto a = link::parseAddress(text, 23);
        QCOMPARE(a.ok, port >= 0);
        if (a.ok) {
            QCOMPARE(a.host, host);
            QCOMPARE(int(a.port), port);
        }
    }

    void integers_data()
    {
        QTest::addColumn<QString>("s");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("v");
        QTest::newRow("plain") << "12" << true << qint64(12);
        QTest::newRow("plus") << "+7" << true << qint64(7);
        QTest::newRow("minus") << "-8185" << true << qint64(-8185);
        QTest::newRow("blank") << " 1" << false << qint64(0);
        QTest::newRow("sign only") << "-" << false << qint64(0);
        QTest::newRow("hex text") << "&H0C" << false << qint64(0);
        QTest::newRow("overflow") << "99999999999999999999" << false << qint64(0);
    }
    void integers()
    {
        QFETCH(QString, s);
        QFETCH(bool, ok);
        QFETCH(qint64, v);
        const auto r = text::parseInt(s);
        QCOMPARE(r.has_value(), ok);
        if (ok)
            QCOMPARE(*r, v);
    }

    void hexFormatsUseTheLow32Bits()
    {
        QCOMPARE(text::hex8(-1), QString("&HFFFFFFFF"));
        QCOMPARE(text::hex8(25), QString("&H00000019"));
        QCOMPARE(text::hexWidth(5, 2), QString("05"));
        QCOMPARE(text::hexWidth(65535, 4), QString("FFFF"));
    }

    void waiterWakesWhenTheReceiverClearsTheFlag()
    {
        link::LinkState state;
        state.setWaitPrompt(true);
        std::thread receiver([&] {
            link::ReceiveHandler h(state, [](const QString &) {});
            h.onChunk("\r\n1\r\n#");
        });
        const bool done = state.sleepWhileWaitPrompt(std::chrono::milliseconds(5000));
        receiver.join();
        QVERIFY(done);
    }
};

QTEST_GUILESS_MAIN(TestLinkCore)
#include "test_linkcore.moc"
