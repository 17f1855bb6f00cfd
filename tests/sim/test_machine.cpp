// The simulated controller's replies, byte for byte, and its behaviour over time.
#include "link/sjis.h"
#include "sim/machine.h"

#include <QTest>

#include <limits>

using sim::Machine;

namespace {

QByteArray errorReply(Machine::Err e)
{
    return "\r\n\t" + wire::sjisEncode(Machine::errorText(e)) + "\r\n#";
}

void row(const char *name, const QStringList &setup, const QString &command, const QByteArray &expected)
{
    QTest::newRow(name) << setup << command << expected;
}

} // namespace

class TestMachine : public QObject
{
    Q_OBJECT

private slots:
    // Each setup line is taken with a bare prompt; then one command's whole reply.
    void replies_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("expected");
        row("relays -1 and -8 are bits 0 and 7", {"ON -8", "ON -1"}, "PR IN(-1)", "\r\n 129\r\n#");
        row("MBK Lng spans two words", {"MBK(5~Lng)=-2"}, "PR MBK(5~Lng) MBK(5~Wrd) MBK(6~Wrd) MBK(5~Int)",
            "\r\n -2 65534 65535 -2\r\n#");
        row("PLS skips zero points",
            {"SETP 7 100 -20 &H1F 0", "SETP 3 1 0 0 0", "SETP 5 1 2 3 4", "SETP 5 0 0 0 0"}, "PLS -1",
            "\r\nSETP 3 1 0 0 0\r\nSETP 7 100 -20 31 0\r\n#");
        row("delete, then RENUM follows GOTO, not quoted text",
            {"5 A=1", "6 B=2", "7 S$=\"GOTO 5\" : GOTO 5", "6", "RENUM"}, "LIST 0 0",
            "\r\n10\tA=1\r\n20\tS$=\"GOTO 5\" : GOTO 10\r\n#");
        row("CLR_OUTP all", {"ON 0", "ON -1", "ON 2000", "ON 70000", "CLR_OUTP 15"},
            "PR IN(0) IN(-1) IN(2000) IN(70000~Wrd)", "\r\n 0 0 0 0\r\n#");
        row("second statement fails", {}, "A=1 : FOO", errorReply(Machine::Err::Syntax));
        row("bit out of range", {}, "ON 900", errorReply(Machine::Err::Range));
        row("Lng at the last address", {}, "MBK(9223372036854775807~Lng)=1", errorReply(Machine::Err::Range));
        row("the most negative integer", {}, "PR -9223372036854775808", "\r\n -9223372036854775808\r\n#");
        const QString big = "S$=\"" + QString(40000, 'x') + '"';
        row("a string past 64 KiB refused", {big}, "S$=S$+S$", errorReply(Machine::Err::Memory));
        QStringList copies; // 500 copies of a string of 40000 pass 16 Mi
        for (int i = 0; i < 500; ++i)
            copies << QStringLiteral("PRA A_ %1 S$").arg(i);
        row("variables past 16 Mi refused", {big}, copies.join(" : "), errorReply(Machine::Err::Memory));
        QStringList program; // 259 lines of 65000 characters pass 16 Mi
        for (int n = 1; n <= 259; ++n)
            program << QString::number(n) + " S$=\"" + QString(64995, 'x') + '"';
        const QString last = program.takeLast();
        row("program past 16 Mi characters refused", program, last, errorReply(Machine::Err::Memory));
        row("PR past 1 MiB refused", {big}, "PR" + QString(" S$").repeated(30),
            errorReply(Machine::Err::Memory));
        row("deep nesting refused, not a crash", {}, "PR " + QString(30000, '(') + "1" + QString(30000, ')'),
            errorReply(Machine::Err::Memory));
        QStringList toggles;
        QByteArray added;
        for (int n = 1; n <= 257; ++n) {
            toggles << QStringLiteral("BKP %1").arg(n);
            added += n <= 256 ? "\r\nBKP " + QByteArray::number(n) + " added" : QByteArray();
        }
        row("breakpoints past 256 refused", {}, toggles.join(" : "),
            added + errorReply(Machine::Err::Memory));
        row("continue without break", {}, "N", errorReply(Machine::Err::NotAtBreak));
        row("clock: 30 February", {}, "SET_RTC &H20260230", errorReply(Machine::Err::BadClock));
        // Each NEW clears its own area only.
        row("NEWP clears the points", {"SETP 3 1 1 1 1", "NEWP"}, "PLS -1", "\r\n#");
        row("NEWM clears the MBK words", {"MBK(9~Wrd)=3", "NEWM"}, "S_MBK -1", "\r\n#");
        row("NEWP and NEWM keep the program", {"10 A=1", "SETP 3 1 1 1 1", "MBK(9~Wrd)=3", "NEWP", "NEWM"},
            "LIST 0 0", "\r\n10\tA=1\r\n#");
        row("NEW clears the program", {"10 A=1", "NEW"}, "LIST 0 0", "\r\n#");
        row("NEW clears the breakpoints", {"10 A=1", "BKP 10", "NEW", "10 A=1"}, "BKP", "\r\n#");
        QStringList items;
        for (int i = 0; i < 20; ++i)
            items << QString::number(1000000000LL + i);
        const QByteArray flat = (" " + items.join(' ')).toLatin1();
        row("PR wraps long lines", {}, "PR " + items.join(' '),
            "\r\n" + flat.left(78) + "\r\n " + flat.mid(78, 77) + "\r\n " + flat.mid(155) + "\r\n#");
        // HPT: X and Y general outputs (bit 0 of their byte), all in position (bit 6), U at 0 (bit 25).
        const qint64 hpt = (1 | 64) | (65 << 8) | (64 << 16) | (qint64(2 | 64) << 24);
        row("axis query has eleven fields",
            {"SETP 0 12 -5 0 7", "SETP -1 1 2 3 4", "H_ON 0", "H_ON 1", "ON 0"},
            "PR LMT(0) HPT(0) P(0) RR(X_A) X(-1) Y(-1) U(-1) Z(-1)",
            "\r\n 0 " + QByteArray::number(hpt) + " 12 -5 0 7 0 1 2 3 4\r\n#");
    }

    void replies()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, command);
        QFETCH(QByteArray, expected);
        Machine m;
        for (const QString &l : setup)
            QCOMPARE(m.handleLine(l).right(3), QByteArray("\r\n#"));
        QCOMPARE(m.handleLine(command), expected);
    }

    void mmcLoadReportsBadLines()
    {
        Machine m;
        m.feed("\x02" +
               wire::sjisEncode(QStringLiteral("A=1 /* 初期値\r\n?bad\n/* only a comment\n\n#5\nB=2\n")));
        // A short block ends only after a quiet moment.
        m.advance(Machine::kBlockQuietMs - 1);
        QCOMPARE(m.takeOutput(), QByteArray());
        m.advance(1);
        QCOMPARE(m.takeOutput(), QByteArray("\r\n#"));
        const QByteArray syntax = wire::sjisEncode(Machine::errorText(Machine::Err::Syntax));
        QCOMPARE(m.handleLine("MMC_LOAD MMC_LOAD$"),
                 "\r\n\t2: " + syntax + ": ?bad\r\n\t5: " + syntax + ": #5\r\n#");
        QCOMPARE(m.handleLine("LIST 0 0"), QByteArray("\r\n10\tA=1\r\n20\tB=2\r\n#"));
        // A lone CR ends a line too, as it ends a command line.
        m.feed("\x02" + QByteArray("C=3\rD=4\r\n"));
        m.advance(Machine::kBlockQuietMs);
        QCOMPARE(m.handleLine("MMC_LOAD MMC_LOAD$"), QByteArray("\r\nLoaded 2 lines\r\n#"));
    }

    void feedFramesAndDecodesLines()
    {
        Machine m;
        QCOMPARE(m.feed("PR 1\r\nPR 2\rPR 3\n"), QByteArray("\r\n 1\r\n#\r\n 2\r\n#\r\n 3\r\n#"));
        // A CR LF split between two reads is still one line end.
        QCOMPARE(m.feed("PR 4\r"), QByteArray("\r\n 4\r\n#"));
        QCOMPARE(m.feed("\nPR"), QByteArray());
        QCOMPARE(m.feed(" 5\r"), QByteArray("\r\n 5\r\n#"));
        QCOMPARE(m.feed("\r"), QByteArray("\r\n#"));
        QCOMPARE(m.feed("\xFF\xFE\r"), errorReply(Machine::Err::BadChar));
        QCOMPARE(m.feed("PR 1\r"), QByteArray("\r\n 1\r\n#"));
        // 0x5C is the backslash in cp932, not a yen sign.
        QCOMPARE(m.feed("S$=\"a\\b\" : PR S$\r"), QByteArray("\r\n a\\b\r\n#"));
    }

    void attentionAbortsEverything()
    {
        Machine m;
        for (const char *line : {"10 A=A+1", "20 GOTO 10", "RUN"})
            m.handleLine(QLatin1String(line));
        m.advance(50);
        QCOMPARE(m.taskState(0), Machine::TaskState::Running);
        m.handleLine("ECHO 2");
        // A full block is answered at once, without the quiet moment.
        QCOMPARE(m.feed("\x02" + QByteArray("X=1\n").repeated(350)), QByteArray("\r\n#"));
        QCOMPARE(m.feed("\x01"), QByteArray("\r\n#"));
        QCOMPARE(m.taskState(0), Machine::TaskState::Stopped);
        // Load mode ended too: the next line is a command again.
        QCOMPARE(m.feed("PR 1\r"), QByteArray("\r\n 1\r\n#"));
    }

    void breakpointStopAndContinue()
    {
        Machine m;
        for (const char *line : {"10 A=A+1", "20 PRINT A", "30 GOTO 10", "BKP 20"})
            m.handleLine(QLatin1String(line));
        QCOMPARE(m.handleLine("RUN"), QByteArray("\r\n#"));
        m.advance(Machine::kStepMs);
        QCOMPARE(m.takeOutput(), QByteArray());
        m.advance(Machine::kStepMs);
        QCOMPARE(m.takeOutput(), QByteArray("\r\n\x1b[7m BREAK 20 \x1b[0m\r\n20\tPRINT A\r\n#?"));
        // The task panel reads the line and state from the second reply line.
        QCOMPARE(m.handleLine("PR MBK(7836~Lng) TASK(0|256)"), QByteArray("\r\n 20 3\r\n#?"));
        // Continuing from the breakpoint runs its line instead of stopping again.
        QCOMPARE(m.handleLine("N"), QByteArray("\r\n#"));
        m.advance(Machine::kStepMs);
        QCOMPARE(m.takeOutput(), QByteArray("\r\n 1"));
        // A wait beyond the clock's reach waits for ever, not at all.
        for (const char *line : {"NEW", "10 WAIT &H7FFFFFFFFFFFFFFF", "20 PRINT 5", "RUN"})
            m.handleLine(QLatin1String(line));
        m.advance(1000);
        QCOMPARE(m.takeOutput(), QByteArray());
        // Labels are looked up in an index kept with the lines: a label at the end of a long program is
        // found, and one whose line is deleted or renumbered is found no more under its old line.
        m.handleLine("NEW");
        for (int n = 1; n <= 5000; ++n)
            m.handleLine(QStringLiteral("%1 A=%1").arg(n));
        for (const char *line : {"5001 *Z : GOTO *Z", "BKP *Y", "TASK 0 *Z"})
            m.handleLine(QLatin1String(line));
        m.advance(1000);
        QCOMPARE(m.handleLine("PR TASK(0)"), QByteArray("\r\n 1\r\n#"));
        m.handleLine("CMD$ 0");
        for (const char *line : {"5001", "4000 *Z : GOTO *Z"})
            m.handleLine(QLatin1String(line));
        QCOMPARE(m.handleLine("LIST *Z 1"), QByteArray("\r\n4000\t*Z : GOTO *Z\r\n#"));
        m.handleLine("RENUM");
        QCOMPARE(m.handleLine("LIST *Z 1"), QByteArray("\r\n40000\t*Z : GOTO *Z\r\n#"));
    }

    void inputsFollowOutputs()
    {
        Machine m;
        // Output 768 (byte 96) drives input 960.
        m.handleLine(QStringLiteral("ON 768"));
        m.advance(Machine::kInputFollowMs - 1);
        QVERIFY(!m.bit(960));
        m.advance(1);
        QVERIFY(m.bit(960));
        m.handleLine(QStringLiteral("OFF 768"));
        m.advance(Machine::kInputFollowMs);
        QVERIFY(!m.bit(960));
        QCOMPARE(m.handleLine(QStringLiteral("ON 960")), errorReply(Machine::Err::InputForce));
    }

    void limitsStopTheAxis()
    {
        Machine m;
        for (const char *line : {"ACCEL ALL_A 1000000", "SETP 0 999000 0 0 -999000", "RMVS Y_A 0",
                                 "RMVS X_A 5000", "RMVS Z_A -5000"})
            m.handleLine(QLatin1String(line));
        m.advance(1000);
        QCOMPARE(m.position(0), Machine::kLimit);
        QCOMPARE(m.position(3), -Machine::kLimit);
        // +limit of X is bit 2, -limit of Z is bit 19 (Z holds the third byte).
        QCOMPARE(m.handleLine("PR LMT(0)"), "\r\n " + QByteArray::number((1 << 2) | (1 << 19)) + "\r\n#");
        m.handleLine("RMVS X_A -10");
        m.advance(100);
        QCOMPARE(m.handleLine("PR LMT(0)"), "\r\n " + QByteArray::number(1 << 19) + "\r\n#");
        // At the ends of the 64-bit range a move is refused rather than wrap round, and a move
        // back is carried out to the pulse.
        m.handleLine("SETP 0 9223372036854775807 0 0 -9223372036854775808");
        QCOMPARE(m.handleLine("RMVS X_A 10"), errorReply(Machine::Err::Range));
        QCOMPARE(m.handleLine("RMVS Z_A -1"), errorReply(Machine::Err::Range));
        m.handleLine("RMVS X_A -10 : RMVS Z_A 5");
        m.advance(100);
        QCOMPARE(m.position(0), std::numeric_limits<qint64>::max() - 10);
        QCOMPARE(m.position(3), std::numeric_limits<qint64>::min() + 5);
    }
};

QTEST_GUILESS_MAIN(TestMachine)
#include "test_machine.moc"
