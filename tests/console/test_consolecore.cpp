// Console clean-up and the small parsers of command entry.
#include "console/console.h"

#include <QTest>

class TestConsoleCore : public QObject
{
    Q_OBJECT
private slots:
    // Text without a line feed is never trimmed; a doubled prompt collapses
    // once, right after the login.
    void cleaning_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<bool>("atLogin");
        QTest::addColumn<QString>("out");
        QTest::addColumn<bool>("changed");
        const QString longLine(20000, QLatin1Char('x'));
        QTest::newRow("long line kept") << longLine << false << longLine << false;
        QTest::newRow("login prompt")
            << "*** Connected ***\r\r\n#\r\n#" << true << "*** Connected ***\r\r\n#" << true;
        QTest::newRow("later prompts kept") << "x\r\n#\r\n#" << false << "x\r\n#\r\n#" << false;
        QTest::newRow("prompt with mark") << "a\r\n#?\r\n#?" << true << "a\r\n#?" << true;
        QTest::newRow("login prompt first") << "\r\n#\r\n#" << true << "\r\n#" << true;
        QTest::newRow("stopped prompt first") << "\r\n#?\r\n#?" << true << "\r\n#?" << true;
        QTest::newRow("colour reset dropped") << "a[0mb\r\n#" << false << "ab\r\n#" << true;
    }
    void cleaning()
    {
        QFETCH(QString, in);
        QFETCH(bool, atLogin);
        QFETCH(QString, out);
        QFETCH(bool, changed);
        const auto c = console::cleanup(in, atLogin);
        QCOMPARE(c.text, out);
        QCOMPARE(c.changed, changed);
        if (atLogin)
            QVERIFY(c.consumedBeginConnect);
    }
    // However long the text, the console keeps its newest part and redraws.
    void veryLongTextKeepsItsEnd()
    {
        const QString in = QString(300000, QLatin1Char('x')) + QStringLiteral("END");
        const auto c = console::cleanup(in, false);
        QVERIFY(c.text.endsWith(QStringLiteral("xEND")) && c.text.size() < in.size());
        QVERIFY(c.changed);
    }

    // Prompt, number and statement are picked in the console's test.
    void barePromptIsNoProgramLine()
    {
        QVERIFY(!console::programLineFrom(QStringLiteral("#")));
        // Only a prompt longer than two characters loses its "#".
        QVERIFY(!console::programLineFrom(QStringLiteral("#5")));
        QCOMPARE(console::programLineFrom(QStringLiteral("#10")), QStringLiteral("10"));
        QCOMPARE(console::programLineFrom(QStringLiteral("##\t10\tA=1")), QStringLiteral("10 A=1"));
    }

    // Every line end shows as one line break, and an escape byte not at all.
    void shownText()
    {
        QCOMPARE(console::displayForm(QStringLiteral("a\r\nb\rc\x1b[0m")), QStringLiteral("a\nb\nc[0m"));
        QCOMPARE(console::viewForm(QStringLiteral("x\r\ny\r\n")), QStringLiteral("x\ny\n"));
        // A line too long to show keeps its end behind an ellipsis; the next one shows whole.
        const QString longLine = QString(100000, QLatin1Char('a')) + QStringLiteral("bcdEND");
        const QString view = console::viewForm(longLine + QStringLiteral("\r\nnext"));
        QVERIFY(view.startsWith(QChar(0x2026)));
        QVERIFY(view.endsWith(QStringLiteral("abcdEND\nnext")));
        QVERIFY(view.size() < longLine.size());
    }

    // What the watch-only lock lets through from the command boxes: lines
    // whose every statement only reads (print, list, points, memory blocks,
    // tasks, leaving a listing, listing breakpoints, nothing at all).
    void readOnlyLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("readOnly");
        for (const char *l : {"PR 1", "pr IN(0)", "List *LOOP1 20", "P A", "LIST", "PLS -1", "S_MBK -1",
                              "MON", "q", "BKP", "", "  \t ", "PR\tA", "PR A : PR B", "PR \"A : B\""})
            QTest::addRow("reads: %s", l) << QString::fromLatin1(l) << true;
        // Forcing, assigning, running, breakpoints, the clock, program lines,
        // a word that starts like PR, a write after a read, an unclosed quote.
        for (const char *l :
             {"ON 5", "A=5", "P=5", "RUN", "BKP 20", "bkp 0", "N", "SET_RTC &H20260101", "10 A=1",
              "PRA ARR_ 1 5", "PR A : ON 5", "PR A:OFF 5", "PR A : : NEW", "PR \"A : ON 5"})
            QTest::addRow("writes: %s", l) << QString::fromLatin1(l) << false;
    }
    void readOnlyLines()
    {
        QFETCH(QString, line);
        QFETCH(bool, readOnly);
        QCOMPARE(console::readOnlyLine(line), readOnly);
    }
};

QTEST_GUILESS_MAIN(TestConsoleCore)
#include "test_consolecore.moc"
