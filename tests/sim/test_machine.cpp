// The simulated controller's replies, byte for byte, and its behaviour over time.
#include "link/sjis.h"
#include "sim/machine.h"

#include <QtTest>

#include <algorithm>

using sim::Machine;

namespace {

QByteArray sj(const QString &s) { return link::sjisEncode(s); }

QByteArray errorReply(Machine::Err e) { return "\r\n\t" + sj(Machine::errorText(e)) + "\r\n#"; }

void run(Machine &m, const QStringList &lines)
{
    for (const QString &l : lines)
        m.handleLine(l);
}

void row(const char *name, const QStringList &setup, const QString &command, const QByteArray &expected)
{
    QTest::newRow(name) << setup << command << expected;
}

const QByteArray kBreak20 = "\r\n\x1b[7m BREAK 20 \x1b[0m\r\n20\tPRINT A";

} // namespace

class TestMachine : public QObject
{
    Q_OBJECT

private slots:
    void replies_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("expected");
        row("relays -1 and -8 are bits 0 and 7", {"ON -8", "ON -1"}, "PR IN(-1)", "\r\n 129\r\n#");
        row("MBK bit word", {"ON 70100", "ON 70115"}, "PR IN(70100~Wrd)", "\r\n 32769\r\n#");
        row("CU byte", {"ON 2008", "ON 2015"}, "PR IN(2001)", "\r\n 129\r\n#");
        row("MBK Lng spans two words", {"MBK(5~Lng)=-2"}, "PR MBK(5~Lng) MBK(5~Wrd) MBK(6~Wrd) MBK(5~Int)",
            "\r\n -2 65534 65535 -2\r\n#");
        row("FILL", {"MBK(7899~Wrd)=5", "MBK(7900~Wrd)=6", "FILL MBK(7772) 128 0"}, "PR MBK(7899~Wrd) MBK(7900~Wrd)",
            "\r\n 0 6\r\n#");
        row("Japanese string", {QStringLiteral("S$=\"構文 x\"")}, "PR S$", "\r\n " + sj(QStringLiteral("構文 x")) + "\r\n#");
        row("undefined variables, case of names", {"abc=7"}, "PR B C$ ABC", "\r\n 0  7\r\n#");
        row("statements", {}, "A=1 : B=A+1 : PR A B", "\r\n 1 2\r\n#");
        row("expressions", {}, "PR &HFF -1 (2+3)*4 7MOD(3) &HFFFFFFFF", "\r\n 255 -1 20 1 4294967295\r\n#");
        row("PLS skips zero points", {"SETP 7 100 -20 &H1F 0", "SETP 3 1 0 0 0", "SETP 5 1 2 3 4", "SETP 5 0 0 0 0"},
            "PLS -1", "\r\nSETP 3 1 0 0 0\r\nSETP 7 100 -20 31 0\r\n#");
        row("LIST label", {"10 A=1", "30 *LOOP", "40 GOTO *LOOP"}, "LIST *LOOP 1", "\r\n30\t*LOOP\r\n#");
        row("LIST from between lines", {"10 A=1", "20 B=2", "30 C=3"}, "LIST 15 1", "\r\n20\tB=2\r\n#");
        row("delete, then RENUM follows GOTO", {"5 A=1", "6 B=2", "7 GOTO 5", "6", "RENUM"}, "LIST 0 0",
            "\r\n10\tA=1\r\n20\tGOTO 10\r\n#");
        row("BKP list, labels upper case", {"BKP 120", "BKP *l"}, "BKP", "\r\nBKP 120\r\nBKP *L\r\n#");
        row("CLR_OUTP all", {"ON 0", "ON -1", "ON 2000", "ON 70000", "CLR_OUTP 15"},
            "PR IN(0) IN(-1) IN(2000) IN(70000~Wrd)", "\r\n 0 0 0 0\r\n#");
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

    void errorsCarryJapaneseText_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("error");
        QTest::newRow("second statement fails") << "A=1 : FOO" << int(Machine::Err::Syntax);
        QTest::newRow("forcing an input") << "ON 192" << int(Machine::Err::InputForce);
        QTest::newRow("bit out of range") << "ON 900" << int(Machine::Err::Range);
        QTest::newRow("no such board") << "MPG 4" << int(Machine::Err::NoBoard);
        QTest::newRow("division by zero") << "A=1/0" << int(Machine::Err::DivZero);
        QTest::newRow("string into number") << "A=\"x\"" << int(Machine::Err::Type);
        QTest::newRow("continue without break") << "N" << int(Machine::Err::NotAtBreak);
        QTest::newRow("missing label") << "LIST *NOWHERE 1" << int(Machine::Err::NoLine);
        QTest::newRow("clock: 30 February") << "SET_RTC &H20260230" << int(Machine::Err::BadClock);
    }

    void errorsCarryJapaneseText()
    {
        QFETCH(QString, command);
        QFETCH(int, error);
        Machine m;
        const QByteArray reply = m.handleLine(command);
        QCOMPARE(reply, errorReply(Machine::Err(error)));
        const QString text = link::sjisDecode(reply);
        QVERIFY(std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0x3000; }));
    }

    void prWrapsLongLines()
    {
        Machine m;
        QStringList items;
        for (int i = 0; i < 20; ++i)
            items << QString::number(1000000000LL + i);
        const QByteArray flat = (" " + items.join(' ')).toLatin1();
        QCOMPARE(m.handleLine("PR " + items.join(' ')),
                 "\r\n" + flat.left(78) + "\r\n " + flat.mid(78, 77) + "\r\n " + flat.mid(155) + "\r\n#");
    }

    void axisQueryHasElevenFields()
    {
        Machine m;
        run(m, {"SETP 0 12 -5 0 7", "SETP -1 1 2 3 4", "H_ON 0", "H_ON 1", "ON 0"});
        // HPT: X and Y have their general outputs (bit 0 of their byte), all axes
        // are in position (bit 6); U sits at 0 so its origin bit (bit 25) is on.
        const qint64 hpt = (1 | 64) | (65 << 8) | (64 << 16) | (qint64(2 | 64) << 24);
        QCOMPARE(m.handleLine("PR LMT(0) HPT(0) P(0) RR(X_A) X(-1) Y(-1) U(-1) Z(-1)"),
                 "\r\n 0 " + QByteArray::number(hpt) + " 12 -5 0 7 0 1 2 3 4\r\n#");
        m.handleLine("H_OFF 1");
        QVERIFY(!m.generalOutput(1));
    }

    void mmcLoadReportsBadLines()
    {
        Machine m;
        m.feed("\x02" + sj(QStringLiteral("A=1 /* 初期値\r\n?bad\n/* only a comment\n\n#5\nB=2\n")));
        // A short block ends only after a quiet moment.
        m.advance(Machine::kBlockQuietMs - 1);
        QCOMPARE(m.takeOutput(), QByteArray());
        m.advance(1);
        QCOMPARE(m.takeOutput(), QByteArray("\r\n#"));
        const QByteArray syntax = sj(Machine::errorText(Machine::Err::Syntax));
        QCOMPARE(m.handleLine("MMC_LOAD MMC_LOAD$"), "\r\n\t2: " + syntax + ": ?bad\r\n\t5: " + syntax + ": #5\r\n#");
        QCOMPARE(m.handleLine("LIST 0 0"), QByteArray("\r\n10\tA=1\r\n20\tB=2\r\n#"));
        QVERIFY(m.blockBuffer().isEmpty());
    }

    void feedFramesLines()
    {
        Machine m;
        QCOMPARE(m.feed("PR 1\r\nPR 2\rPR 3\n"), QByteArray("\r\n 1\r\n#\r\n 2\r\n#\r\n 3\r\n#"));
        // A CR LF split between two reads is still one line end.
        QCOMPARE(m.feed("PR 4\r"), QByteArray("\r\n 4\r\n#"));
        QCOMPARE(m.feed("\nPR"), QByteArray());
        QCOMPARE(m.feed(" 5\r"), QByteArray("\r\n 5\r\n#"));
        QCOMPARE(m.feed("\r"), QByteArray("\r\n#"));
    }

    void feedRejectsOverlongAndUndecodableLines()
    {
        Machine m;
        QCOMPARE(m.feed(QByteArray(Machine::kMaxLine + 10, 'A') + "\r"), errorReply(Machine::Err::LineTooLong));
        QCOMPARE(m.feed("\xFF\xFE\r"), errorReply(Machine::Err::BadChar));
        QCOMPARE(m.feed("PR 1\r"), QByteArray("\r\n 1\r\n#"));
        // 0x5C is the backslash in cp932, not a yen sign.
        QCOMPARE(m.feed("S$=\"a\\b\"\r"), QByteArray("\r\n#"));
        QCOMPARE(m.variable("S$"), QStringLiteral("a\\b"));
    }

    void attentionAbortsEverything()
    {
        Machine m;
        run(m, {"10 A=A+1", "20 GOTO 10", "RUN"});
        m.advance(50);
        QCOMPARE(m.taskState(0), Machine::TaskState::Running);
        m.handleLine("ECHO 2");
        // A full block is answered at once, without the quiet moment.
        QCOMPARE(m.feed("\x02" + QByteArray("X=1\n").repeated(350)), QByteArray("\r\n#"));
        QCOMPARE(m.feed("\x01"), QByteArray("\r\n#"));
        QCOMPARE(m.taskState(0), Machine::TaskState::Stopped);
        QVERIFY(!m.loadMode());
        QVERIFY(m.blockBuffer().isEmpty());
        const QString a = m.variable("A");
        m.advance(100);
        QCOMPARE(m.variable("A"), a);
    }

    void breakpointStopAndStep()
    {
        Machine m;
        run(m, {"10 A=A+1", "20 PRINT A", "30 GOTO 10", "BKP 20"});
        QCOMPARE(m.handleLine("RUN"), QByteArray("\r\n#"));
        m.advance(Machine::kStepMs);
        QCOMPARE(m.takeOutput(), QByteArray());
        m.advance(Machine::kStepMs);
        QCOMPARE(m.takeOutput(), kBreak20 + "\r\n#?");
        QCOMPARE(m.taskState(0), Machine::TaskState::Break);
        // The task panel reads the line and state from the second reply line.
        QCOMPARE(m.handleLine("PR MBK(7836~Lng) TASK(0|256)"), QByteArray("\r\n 20 3\r\n#?"));
        // One step runs the stopped line and stops on the next one.
        QCOMPARE(m.handleLine("T"), "\r\n 1\r\n\x1b[7m BREAK 30 \x1b[0m\r\n30\tGOTO 10\r\n#?");
        QCOMPARE(m.taskLine(0), 30);
        QCOMPARE(m.handleLine("N"), QByteArray("\r\n#"));
        m.advance(3 * Machine::kStepMs);
        QCOMPARE(m.takeOutput(), kBreak20 + "\r\n#?");
        QCOMPARE(m.variable("A"), QStringLiteral("2"));
        // Continuing from the breakpoint runs its line instead of stopping again.
        m.handleLine("N");
        m.advance(Machine::kStepMs);
        QCOMPARE(m.takeOutput(), QByteArray("\r\n 2"));
        m.handleLine("BKP 0");
        m.advance(100);
        QCOMPARE(m.taskState(0), Machine::TaskState::Running);
    }

    void inputsFollowOutputs()
    {
        Machine m;
        for (const int output : {5, 768}) { // byte 0 and byte 96
            const int input = output + 192;
            m.handleLine(QStringLiteral("ON %1").arg(output));
            m.advance(Machine::kInputFollowMs - 1);
            QVERIFY(!m.bit(input));
            m.advance(1);
            QVERIFY(m.bit(input));
            m.handleLine(QStringLiteral("OFF %1").arg(output));
            m.advance(Machine::kInputFollowMs);
            QVERIFY(!m.bit(input));
            QCOMPARE(m.handleLine(QStringLiteral("ON %1").arg(input)), errorReply(Machine::Err::InputForce));
        }
    }

    void axisMovesOverTime()
    {
        Machine m;
        run(m, {"ACCEL ALL_A 1000", "RMVS X_A 10000", "RMVS U_A -300"});
        m.advance(100);
        const qint64 mid = m.position(0);
        QVERIFY(mid > 0 && mid < 10000);
        QCOMPARE(m.counter(0), mid);
        const qint64 xByte = m.handleLine("PR HPT(0)").mid(3).split('\r').at(0).toLongLong() & 0xFF;
        QCOMPARE(xByte & (64 | 8), 8); // moving, so not in position
        m.advance(2000);
        QVERIFY(!m.moving(0));
        QCOMPARE(m.handleLine("PR P(0) RR3(X_A) RR(X_A)"), QByteArray("\r\n 10000 0 -300 0 0 0\r\n#"));
    }

    void limitsStopTheAxis()
    {
        Machine m;
        run(m, {"ACCEL ALL_A 1000000", "SETP 0 999000 0 0 -999000", "RMVS Y_A 0", "RMVS X_A 5000", "RMVS Z_A -5000"});
        m.advance(1000);
        QCOMPARE(m.position(0), Machine::kLimit);
        QCOMPARE(m.position(3), -Machine::kLimit);
        QVERIFY(!m.moving(0));
        // +limit of X is bit 2, -limit of Z is bit 19 (Z holds the third byte).
        QCOMPARE(m.handleLine("PR LMT(0)"), "\r\n " + QByteArray::number((1 << 2) | (1 << 19)) + "\r\n#");
        m.handleLine("RMVS X_A -10");
        m.advance(100);
        QCOMPARE(m.handleLine("PR LMT(0)"), "\r\n " + QByteArray::number(1 << 19) + "\r\n#");
    }

    void newClearsItsArea()
    {
        Machine m;
        run(m, {"10 A=1", "BKP 10", "SETP 3 1 1 1 1", "MBK(9~Wrd)=3", "ON 70000", "NEWP"});
        QCOMPARE(m.handleLine("PLS -1"), QByteArray("\r\n#"));
        QCOMPARE(m.programLines().size(), 1);
        m.handleLine("NEWM");
        QCOMPARE(m.handleLine("S_MBK -1"), QByteArray("\r\n#"));
        m.handleLine("NEW");
        QVERIFY(m.programLines().isEmpty());
        QVERIFY(m.breakpoints().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMachine)
#include "test_machine.moc"
