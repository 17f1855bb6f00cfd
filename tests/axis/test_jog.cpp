// The jog pad's command table and the texts of teaching and setting points.
#include "axis/jog.h"

#include <QTest>
#include <limits>

class TestJog : public QObject
{
    Q_OBJECT

private slots:
    // Every tag, pad or not, is clicked end to end in the axis panel's test;
    // here the signed edges of the pad's table.
    void padEdges()
    {
        const auto commands = [](int tag) {
            return axis::jogCommands(tag, QStringLiteral("100"), QStringLiteral("5000"));
        };
        QCOMPARE(commands(std::numeric_limits<int>::min()), QStringList{QStringLiteral("ACCEL ALL_A 5000")});
        QVERIFY(axis::jogSetsAcceleration(std::numeric_limits<int>::min()));
        QCOMPARE(commands(12), QStringList{});
        QVERIFY(!axis::jogSetsAcceleration(12));
    }

    void teach()
    {
        // The number goes in as typed: untrimmed, unchecked, empty too.
        QCOMPARE(axis::teachCommand(QStringLiteral(" 7x")), QStringLiteral("SETP  7x P(0)"));
        QCOMPARE(axis::teachMessage(QString()), QStringLiteral("ここを\u3000P( )とします。"));
    }

    // Trimming and refusals show in the axis panel's test; an inner blank is
    // the user's own and goes out as typed.
    void pointSetKeepsInnerBlank()
    {
        QCOMPARE(axis::pointSetCommand(QStringLiteral("7"), QStringLiteral("1 0"), QStringLiteral("2"),
                                       QStringLiteral("3"), QStringLiteral("4")),
                 QStringLiteral("SETP 7 1 0 2 3 4"));
    }
};

QTEST_GUILESS_MAIN(TestJog)
#include "test_jog.moc"
