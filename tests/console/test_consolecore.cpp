// Console clean-up, trimming, history and the small parsers of command entry.
#include "console/console.h"

#include <QTest>

class TestConsoleCore : public QObject
{
    Q_OBJECT
private slots:
    void keepsTheLast100Pieces()
    {
        QString s;
        for (int i = 1; i <= 150; ++i)
            s += QStringLiteral("line %1\n").arg(i);
        const auto c = console::cleanup(s, false);
        QCOMPARE(c.text.count('\n') + 1, 100);
        // 151 pieces (the last one empty after the final feed): the first kept
        // is what followed the 51st feed.
        QVERIFY(c.text.startsWith("line 52\n"));
        QVERIFY(c.changed);
    }

    void textWithoutLineFeedIsNeverTrimmed()
    {
        const QString s(20000, QLatin1Char('x'));
        const auto c = console::cleanup(s, false);
        QCOMPARE(c.text, s);
        QVERIFY(!c.changed);
    }

    void doubledPromptCollapsesOnceAfterLogin()
    {
        auto c = console::cleanup("*** Connected ***\r\r\n#\r\n#", true);
        QCOMPARE(c.text, QString("*** Connected ***\r\r\n#"));
        QVERIFY(c.consumedBeginConnect);
        c = console::cleanup("x\r\n#\r\n#", false);
        QCOMPARE(c.text, QString("x\r\n#\r\n#"));
        QVERIFY(!c.changed);
        c = console::cleanup("a\r\n#?\r\n#?", true);
        QCOMPARE(c.text, QString("a\r\n#?"));
    }

    void breakpointMarks()
    {
        const auto c = console::cleanup("\x1b[7m BREAK 20 \x1b[0m", false);
        QCOMPARE(c.text, QString("\x1b[BKP]  BREAK 20 \x1b"));
        QVERIFY(c.changed);
    }

    void history()
    {
        QCOMPARE(console::applyHistory({"A", "B", "A", "C"}, "A"), (QStringList{"A", "B", "C"}));
        QCOMPARE(console::applyHistory({}, "X"), QStringList{"X"});
    }

    void listTarget_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("number") << "100" << "100";
        QTest::newRow("label") << "MAIN" << "*MAIN";
        QTest::newRow("starred") << "*MAIN" << "*MAIN";
        QTest::newRow("negative") << "-1" << "-1";
    }
    void listTarget()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(console::listTarget(in), out);
    }

    void programLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("program");
        QTest::newRow("prompt, number, statement") << "#10 PRINT A\n" << "10 PRINT A";
        QTest::newRow("prompt and blank") << "# 20\tA=1" << "20 A=1";
        QTest::newRow("listing line") << "30\tGOTO *L\r\n" << "30 GOTO *L";
        QTest::newRow("no number") << "PRINT A" << QString();
        QTest::newRow("bare prompt") << "#" << QString();
    }
    void programLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, program);
        const auto p = console::programLineFrom(line);
        QCOMPARE(p.has_value(), !program.isNull());
        if (p)
            QCOMPARE(*p, program);
    }

    void lineAtCursor()
    {
        const QString t = "ab\ncd\nef";
        QCOMPARE(console::lineAt(t, 0), QString("ab\n"));
        QCOMPARE(console::lineAt(t, 4), QString("cd\n"));
        QCOMPARE(console::lineAt(t, 8), QString("ef"));
    }
};

QTEST_GUILESS_MAIN(TestConsoleCore)
#include "test_consolecore.moc"
