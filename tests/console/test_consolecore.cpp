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
};

QTEST_GUILESS_MAIN(TestConsoleCore)
#include "test_consolecore.moc"
