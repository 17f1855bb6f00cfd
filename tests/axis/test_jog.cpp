// The jog pad's command table and the texts of teaching and setting points.
#include "axis/jog.h"

#include <QTest>
#include <limits>

Q_DECLARE_METATYPE(axis::JogAction)

class TestJog : public QObject
{
    Q_OBJECT

private slots:
    // Every pad tag is sent end to end by the axis panel's test; here the
    // edges of the table.
    void padCommands_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("commands");
        const QString accel = QStringLiteral("ACCEL ALL_A 5000");
        QTest::newRow("0 X minus") << 0 << QStringList{accel, "RMVS X_A -100"};
        QTest::newRow("1 X stop") << 1 << QStringList{accel, "STOP X_A STP_I"};
        QTest::newRow("11 Z plus") << 11 << QStringList{accel, "RMVS Z_A 100"};
        QTest::newRow("-3 acceleration only") << -3 << QStringList{accel};
        QTest::newRow("lowest int acceleration only") << std::numeric_limits<int>::min() << QStringList{accel};
        QTest::newRow("12 not a pad command") << 12 << QStringList{};
        QTest::newRow("1000 not a pad command") << 1000 << QStringList{};
    }
    void padCommands()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, commands);
        QCOMPARE(axis::jogCommands(tag, QStringLiteral("100"), QStringLiteral("5000")), commands);
        QCOMPARE(axis::jogSetsAcceleration(tag), tag < 12);
    }

    void actions_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<axis::JogAction>("action");
        using A = axis::JogAction;
        const A pad[] = {A::Move, A::Stop, A::Move};
        for (int t = 0; t < 12; ++t)
            QTest::addRow("%d", t) << t << pad[t % 3];
        const A rest[] = {A::Teach, A::CopyPositions, A::ClearCounters, A::CopyCounters, A::PositionSet,
                          A::ClearPositions, A::None};
        for (int t = 12; t <= 18; ++t)
            QTest::addRow("%d", t) << t << rest[t - 12];
        QTest::newRow("-1") << -1 << A::None;
    }
    void actions()
    {
        QFETCH(int, tag);
        QFETCH(axis::JogAction, action);
        QCOMPARE(axis::jogAction(tag), action);
    }

    void teach()
    {
        // The number goes in as typed: untrimmed, unchecked, empty too.
        QCOMPARE(axis::teachCommand(QStringLiteral(" 7x")), QStringLiteral("SETP  7x P(0)"));
        QCOMPARE(axis::teachMessage(QString()), QStringLiteral("ここを\u3000P( )とします。"));
    }

    void pointSet_data()
    {
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("command");
        QTest::newRow("blanks and tabs trimmed") << QStringList{" 7", "100 ", "\t-20\t", "  &H1F", "0 "}
                                                 << "SETP 7 100 -20 &H1F 0";
        QTest::newRow("inner blank kept") << QStringList{"7", "1 0", "2", "3", "4"} << "SETP 7 1 0 2 3 4";
        QTest::newRow("empty field leaves two blanks") << QStringList{"7", "100", "", "&H1F", "0"}
                                                       << "SETP 7 100  &H1F 0";
        QTest::newRow("blank-only field is empty") << QStringList{"7", "100", "   ", "&H1F", "0"}
                                                   << "SETP 7 100  &H1F 0";
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
