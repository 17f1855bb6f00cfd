// Console clean-up and the small parsers of command entry.
#include "console/console.h"

#include <QTest>

class TestConsoleCore : public QObject
{
    Q_OBJECT
private slots:
    // Text without a line feed is never trimmed; a doubled prompt collapses once, after the login.
    void cleaning_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<bool>("atLogin");
        QTest::addColumn<QString>("out");
        QTest::addColumn<bool>("changed");
        const QString longLine(20000, u'x');
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
    // The console keeps the end of any text; a line too long to show keeps its end behind an ellipsis.
    void longTextAndShownForms()
    {
        const QString in = QString(300000, u'x') + "END";
        const auto c = console::cleanup(in, false);
        QVERIFY(c.text.endsWith("xEND") && c.text.size() < in.size());
        QVERIFY(c.changed);
        QCOMPARE(console::displayForm("a\r\nb\rc\x1b[0m"), "a\nb\nc[0m");
        QCOMPARE(console::viewForm("x\r\ny\r\n"), "x\ny\n");
        const QString longLine = QString(100000, u'a') + "bcdEND";
        const QString view = console::viewForm("\r\n" + longLine + "\r\nnext"); // as a reply starts
        QVERIFY(view.startsWith(QStringLiteral("\n\u2026")));
        QVERIFY(view.endsWith("abcdEND\nnext"));
        QVERIFY(view.size() < longLine.size());
    }

    // Only a prompt longer than two characters loses its "#" (the picks: the console's test).
    void barePromptIsNoProgramLine()
    {
        QVERIFY(!console::programLineFrom("#"));
        QVERIFY(!console::programLineFrom("#5"));
        QCOMPARE(console::programLineFrom("#10"), "10");
        QCOMPARE(console::programLineFrom("##\t10\tA=1"), "10 A=1");
    }

    // What the watch-only lock lets through: lines whose every statement only reads.
    void readOnlyLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("readOnly");
        for (const char *l : {"PR 1", "pr IN(0)", "List *LOOP1 20", "P A", "LIST", "PLS -1", "S_MBK -1",
                              "MON", "q", "BKP", "", "  \t ", "PR\tA", "PR A : PR B", "PR \"A : B\""})
            QTest::addRow("reads: %s", l) << QString::fromLatin1(l) << true;
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
