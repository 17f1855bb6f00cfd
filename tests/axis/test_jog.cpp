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
    void padCommands_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("commands");
        const QString accel = QStringLiteral("ACCEL ALL_A 5000");
        QTest::newRow("lowest int acceleration only") << std::numeric_limits<int>::min() << QStringList{accel};
        QTest::newRow("12 not a pad command") << 12 << QStringList{};
    }
    void padCommands()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, commands);
        QCOMPARE(axis::jogCommands(tag, QStringLiteral("100"), QStringLiteral("5000")), commands);
        QCOMPARE(axis::jogSetsAcceleration(tag), tag < 12);
    }

    void teach()
    {
        // The number goes in as typed: untrimmed, unchecked, empty too.
        QCOMPARE(axis::teachCommand(QStringLiteral(" 7x")), QStringLiteral("SETP  7x P(0)"));
        QCOMPARE(axis::teachMessage(QString()), QStringLiteral("ここを\u3000P( )とします。"));
    }

    // Empty and blank-only fields show in the axis panel's refusals.
    void pointSet_data()
    {
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("command");
        QTest::newRow("blanks and tabs trimmed") << QStringList{" 7", "100 ", "\t-20\t", "  &H1F", "0 "}
                                                 << "SETP 7 100 -20 &H1F 0";
        QTest::newRow("inner blank kept") << QStringList{"7", "1 0", "2", "3", "4"} << "SETP 7 1 0 2 3 4";
    }
    void pointSet()
    {
        QFETCH(QStringList, row);
        QFETCH(QString, command);
        QCOMPARE(axis::pointSetCommand(row[0], row[1], row[2], row[3], row[4]), command);
    }
};

QTEST_GUILESS_MAIN(TestJog)
#include "test_jog.moc"
