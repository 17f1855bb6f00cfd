// Console clean-up and the small parsers of command entry.
#include "console/console.h"

#include <QTest>

class TestConsoleCore : public QObject
{
    Q_OBJECT
private slots:
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

    void programLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("program");
        QTest::newRow("prompt, number, statement") << "#10 PRINT A\n" << "10 PRINT A";
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
};

QTEST_GUILESS_MAIN(TestConsoleCore)
#include "test_consolecore.moc"
