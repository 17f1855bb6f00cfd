// Console clean-up and the small parsers of command entry.
#include "console/console.h"

#include <QTest>

class TestConsoleCore : public QObject
{
    Q_OBJECT
private slots:
    // Text without a line feed is never trimmed; a doubled prompt collapses
    // once, right after the login.
    void cleanupKeepsLongLinesAndCollapsesTheLoginPrompt()
    {
        const QString s(20000, QLatin1Char('x'));
        auto c = console::cleanup(s, false);
        QCOMPARE(c.text, s);
        QVERIFY(!c.changed);
        c = console::cleanup("*** Connected ***\r\r\n#\r\n#", true);
        QCOMPARE(c.text, QString("*** Connected ***\r\r\n#"));
        QVERIFY(c.consumedBeginConnect);
        c = console::cleanup("x\r\n#\r\n#", false);
        QCOMPARE(c.text, QString("x\r\n#\r\n#"));
        QVERIFY(!c.changed);
        c = console::cleanup("a\r\n#?\r\n#?", true);
        QCOMPARE(c.text, QString("a\r\n#?"));
    }

    // Prompt, number and statement are picked in the console's test.
    void barePromptIsNoProgramLine() { QVERIFY(!console::programLineFrom(QStringLiteral("#"))); }

    // What the watch-only lock lets through from the command boxes: lines
    // whose every statement only reads.
    void readOnlyLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("print") << "PR 1" << true;
        QTest::newRow("lower case") << "pr IN(0)" << true;
        QTest::newRow("mixed case") << "List *LOOP1 20" << true;
        QTest::newRow("print a variable") << "P A" << true;
        QTest::newRow("list") << "LIST" << true;
        QTest::newRow("points") << "PLS -1" << true;
        QTest::newRow("memory blocks") << "S_MBK -1" << true;
        QTest::newRow("tasks") << "MON" << true;
        QTest::newRow("leave a listing") << "q" << true;
        QTest::newRow("list breakpoints") << "BKP" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("blanks") << "  \t " << true;
        QTest::newRow("tab after the word") << "PR\tA" << true;
        QTest::newRow("two reads") << "PR A : PR B" << true;
        QTest::newRow("colon in a string") << "PR \"A : B\"" << true;

        QTest::newRow("force") << "ON 5" << false;
        QTest::newRow("assign") << "A=5" << false;
        QTest::newRow("assign to P") << "P=5" << false;
        QTest::newRow("run") << "RUN" << false;
        QTest::newRow("toggle a breakpoint") << "BKP 20" << false;
        QTest::newRow("clear breakpoints") << "bkp 0" << false;
        QTest::newRow("continue") << "N" << false;
        QTest::newRow("clock") << "SET_RTC &H20260101" << false;
        QTest::newRow("program line") << "10 A=1" << false;
        QTest::newRow("word that starts like PR") << "PRA ARR_ 1 5" << false;
        QTest::newRow("write after a read") << "PR A : ON 5" << false;
        QTest::newRow("write after a read, no blanks") << "PR A:OFF 5" << false;
        QTest::newRow("write after an empty statement") << "PR A : : NEW" << false;
        QTest::newRow("unclosed quote") << "PR \"A : ON 5" << false;
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
