// The receive handler, the codec, the send path's word rules, the address
// field and number parsing, without a window or a socket.
#include "link/receivehandler.h"
#include "link/sendpath.h"
#include "link/sjis.h"
#include "link/textutil.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

class TestLinkCore : public QObject
{
    Q_OBJECT

    struct Harness
    {
        wire::ReceiveHandler handler;
        QStringList sent;
        QString text;
        wire::ChunkResult feed(const QByteArray &b, bool waiting = false)
        {
            wire::ChunkResult r = handler.onChunk(b, waiting);
            sent += r.answers;
            text += r.text;
            return r;
        }
    };

private slots:
    void loginIsAnsweredInOrderButNotDuringAWait()
    {
        Harness h;
        auto r = h.feed("QUORIN ready\r\nLogin    :");
        QCOMPARE(h.sent, QStringList{"KDW4721"});
        QVERIFY(r.display.isEmpty()); // the prompt text never reaches the console
        r = h.feed("\r\nPassword :");
        QCOMPARE(h.sent, (QStringList{"KDW4721", "QVRNT", "CMD$ 0"}));
        QVERIFY(r.loggedIn);
        QVERIFY(r.display.isEmpty());

        // A prompt split between chunks, at any byte, is answered once.
        const QByteArray both = "\r\nLogin    :";
        for (int cut = 1; cut < both.size(); ++cut) {
            Harness split;
            split.feed(both.left(cut));
            QVERIFY(split.sent.isEmpty());
            split.feed(both.mid(cut));
            QCOMPARE(split.sent, QStringList{"KDW4721"});
            split.feed("\r\n");
            QCOMPARE(split.sent, QStringList{"KDW4721"});
        }

        // Ignored while a wait is pending.
        Harness waiting;
        r = waiting.feed("Login    :", true);
        QVERIFY(waiting.sent.isEmpty());
        QCOMPARE(r.text, QString("Login    :"));
        // Nor is a prompt whose first part came during the wait.
        Harness late;
        late.feed("Login ", true);
        late.feed("   :");
        QVERIFY(late.sent.isEmpty());
        // Nor one whose first part came before an exchange.
        Harness split;
        split.feed("Login ");
        split.feed("\r\n 1\r\n#", true);
        split.feed("   :");
        QVERIFY(split.sent.isEmpty());
    }

    // A blank then 0x80 reads as a prompt.
    void promptFormsAndTheCodec()
    {
        Harness prompts;
        auto r = prompts.feed(QByteArray("ab \x80zz", 6), true);
        QCOMPARE(r.text, QString("\n#"));
        r = prompts.feed(QByteArray("\x01\x02 \x80", 4));
        QCOMPARE(r.display, QString("\n#"));
        // "#?" is the breakpoint prompt, "#" not.
        QVERIFY(!Harness().feed("\r\n20 A=1\r\n#").breakpoint);
        QVERIFY(Harness().feed("\x1b[7m BREAK 20 \x1b[0m\r\n20 A=1\r\n#?").breakpoint);

        // A double-byte character split between chunks survives.
        bool ok = false;
        const QByteArray kanji = wire::sjisEncode(QStringLiteral("\t構文エラー漾\r\n#"), &ok); // 漾: E0 40
        QVERIFY(ok);
        for (int cut = 1; cut < kanji.size(); ++cut) {
            Harness h;
            h.feed(kanji.left(cut), true);
            h.feed(kanji.mid(cut), true);
            QCOMPARE(h.text, QStringLiteral("\t構文エラー漾\r\n#"));
        }
        // Half a character when a connection ended is not the start of the next one's first.
        Harness ended;
        ended.feed("\r\n#\x88", true);
        ended.handler.reset();
        ended.text.clear();
        ended.feed("A\r\n#", true);
        QCOMPARE(ended.text, QStringLiteral("A\r\n#"));

        // Invalid bytes do not drop the chunk.
        Harness invalid;
        invalid.feed(QByteArray("\r\n12\xFD\xFF\r\n#", 9), true);
        QVERIFY(invalid.text.startsWith("\r\n12"));
        QVERIFY(invalid.text.endsWith("\r\n#"));
        // Backslash and tilde are ASCII, no yen sign or overline.
        ok = false;
        QCOMPARE(wire::sjisEncode("\\~", &ok), QByteArray("\x5C\x7E"));
        QVERIFY(ok);
        QCOMPARE(wire::sjisDecode(QByteArray("\x5C\x7E")), QString("\\~"));
        // Every single-byte code goes both ways as the code page's own converter takes it.
        QStringEncoder enc("windows-31j");
        QStringDecoder dec("windows-31j");
        for (char16_t c = 0; c < 0x80; ++c) {
            const QString text = QStringLiteral("PR ") + QChar(c) + QStringLiteral("\r");
            const QByteArray bytes = QByteArray("PR ") + char(c) + '\r';
            QCOMPARE(wire::sjisEncode(text), QByteArray(enc.encode(text)));
            QCOMPARE(wire::sjisDecode(bytes), QString(dec.decode(bytes)));
            Harness h;
            h.feed(bytes, true);
            QCOMPARE(h.text, QString(dec.decode(bytes)));
        }
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
        row("address", " 127.0.0.1:2323\r\n", "127.0.0.1 2323"); // pasted with its line break
        row("address", "127.0.0.1:65535", "127.0.0.1 65535");
        row("address", "127.0.0.1:1", "127.0.0.1 1");
        row("address", "h:0", "refused");
        row("address", "[::1]:2323", "::1 2323");
        row("address", "", "refused");
        row("address", "h:99999", "refused");
        row("address", "h:abc", "refused");
        row("address", "Press 9", "refused");
        row("address", "[fd00::1 ]:23", "refused");
        // A command line goes out whole or not at all: a line break inside it
        // would be a second command.
        row("send", "PR 1\r", "PR 1\\r");
        row("send", "PR 1\n\r", "refused");
        row("send", "PR\r1\r", "refused");
        row("send", "PR 1\x01\r", "refused"); // the attention byte would stop the running program
        row("int", "12", "12");
        row("int", "-8185", "-8185");
        row("int", " 1", "refused");
        row("int", "-", "refused");
        row("int", "99999999999999999999", "refused");
        row("hex", "ff", "255");
        row("hex", "+1A", "26");
        row("hex", "-10", "-16");
        row("hex", "1G", "refused");
        row("hex", "-", "refused");
        row("hex", "10000000000000000", "refused");
        row("hex", "0x1F", "refused");
    }
    void textRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, in);
        QFETCH(QString, out);
        const QString refused = QStringLiteral("refused");
        QString got;
        if (rule == QLatin1String("words")) {
            const auto c = wire::prepareConsoleLine(in);
            got = c.trimmed + (c.firstIsLineNumber ? QStringLiteral("|number") : QStringLiteral("|text"));
        } else if (rule == QLatin1String("args")) {
            got = wire::argumentsAreNumbers(in) ? QStringLiteral("ok") : refused;
        } else if (rule == QLatin1String("address")) {
            const auto a = wire::parseAddress(in, 23);
            got = a.ok ? a.host + QLatin1Char(' ') + QString::number(a.port) : refused;
        } else if (rule == QLatin1String("send")) {
            bool ok = false;
            const QByteArray bytes = wire::commandBytes(in, &ok);
            got = ok ? QString::fromLatin1(bytes).replace(u'\r', QStringLiteral("\\r")) : refused;
        } else {
            const auto r = rule == QLatin1String("hex") ? text::parseHex(in) : text::parseInt(in);
            got = r ? QString::number(*r) : refused;
        }
        QCOMPARE(got, out);
    }
};

QTEST_GUILESS_MAIN(TestLinkCore)
#include "test_linkcore.moc"
