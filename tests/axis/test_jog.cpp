// The jog pad's command table and the texts of teaching and setting points.
#include "axis/jog.h"

#include <QTest>
#include <limits>

Q_DECLARE_METATYPE(axis::JogAction)

class TestJog : public QObject
{
    Q_OBJECT

private slots:
    void padCommands_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("commands");
        const QString accel = QStringLiteral("ACCEL ALL_A 5000");
        QTest::newRow("0 X minus") << 0 << QStringList{accel, "RMVS X_A -100"};
        QTest::newRow("1 X stop") << 1 << QStringList{accel, "STOP X_A STP_I"};
        QTest::newRow("2 X plus") << 2 << QStringList{accel, "RMVS X_A 100"};
        QTest::newRow("3 Y minus") << 3 << QStringList{accel, "RMVS Y_A -100"};
        QTest::newRow("4 Y stop") << 4 << QStringList{accel, "STOP Y_A STP_I"};
        QTest::newRow("5 Y plus") << 5 << QStringList{accel, "RMVS Y_A 100"};
        QTest::newRow("6 U minus") << 6 << QStringList{accel, "RMVS U_A -100"};
        QTest::newRow("7 U stop") << 7 << QStringList{accel, "STOP U_A STP_I"};
        QTest::newRow("8 U plus") << 8 << QStringList{accel, "RMVS U_A 100"};
        QTest::newRow("9 Z minus") << 9 << QStringList{accel, "RMVS Z_A -100"};
        QTest::newRow("10 Z stop") << 10 << QStringList{accel, "STOP Z_A STP_I"};
        QTest::newRow("11 Z plus") << 11 << QStringList{accel, "RMVS Z_A 100"};
        QTest::newRow("-1 acceleration only") << -1 << QStringList{accel};
        QTest::newRow("-3 acceleration only") << -3 << QStringList{accel};
        QTest::newRow("lowest int acceleration only") << std::numeric_limits<int>::min() << QStringList{accel};
        for (int tag : {12, 13, 14, 15, 16, 17, 18, 1000})
            QTest::addRow("%d not a pad command", tag) << tag << QStringList{};
    }

    void padCommands()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, commands);
        QCOMPARE(axis::jogCommands(tag, QStringLiteral("100"), QStringLiteral("5000")), commands);
    }

    void padUsesChosenTitles()
    {
        QCOMPARE(axis::jogCommands(0, QStringLiteral("10000"), QStringLiteral("100")),
                 (QStringList{"ACCEL ALL_A 100", "RMVS X_A -10000"}));
        QCOMPARE(axis::jogCommands(11, QStringLiteral("1"), QStringLiteral("1000")),
                 (QStringList{"ACCEL ALL_A 1000", "RMVS Z_A 1"}));
    }

    void actions_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<axis::JogAction>("action");
        using A = axis::JogAction;
        const A pad[] = {A::Move, A::Stop, A::Move};
        for (int t = 0; t < 12; ++t)
            QTest::addRow("%d", t) << t << pad[t % 3];
        QTest::newRow("12") << 12 << A::Teach;
        QTest::newRow("13") << 13 << A::CopyPositions;
        QTest::newRow("14") << 14 << A::ClearCounters;
        QTest::newRow("15") << 15 << A::CopyCounters;
        QTest::newRow("16") << 16 << A::PositionSet;
        QTest::newRow("17") << 17 << A::ClearPositions;
        QTest::newRow("18") << 18 << A::None;
        QTest::newRow("-1") << -1 << A::None;
    }

    void actions()
    {
        QFETCH(int, tag);
        QFETCH(axis::JogAction, action);
        QCOMPARE(axis::jogAction(tag), action);
        QCOMPARE(axis::jogSetsAcceleration(tag), tag < 12);
    }

    void teach()
    {
        // ここを, an ideographic space, P(, the number as typed, a blank, )とします。
        const QString expected = QString::fromUtf8("\xE3\x81\x93\xE3\x81\x93\xE3\x82\x92"
                                                   "\xE3\x80\x80"
                                                   "P(5 )"
                                                   "\xE3\x81\xA8\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82");
        QCOMPARE(axis::teachMessage(QStringLiteral("5")), expected);
        QCOMPARE(axis::teachMessage(QStringLiteral("5")).at(3), QChar(0x3000));
        QCOMPARE(axis::teachCommand(QStringLiteral("5")), QStringLiteral("SETP 5 P(0)"));
        // Untrimmed, unchecked.
        QCOMPARE(axis::teachCommand(QStringLiteral(" 7x")), QStringLiteral("SETP  7x P(0)"));
        QCOMPARE(axis::teachMessage(QString()), QStringLiteral("ここを\u3000P( )とします。"));
    }

    void pointSet_data()
    {
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("command");
        QTest::newRow("plain") << QStringList{"7", "100", "-20", "&H1F", "0"}
                               << "SETP 7 100 -20 &H1F 0";
        QTest::newRow("blanks and tabs trimmed") << QStringList{" 7", "100 ", "\t-20\t", "  &H1F", "0 "}
                                                 << "SETP 7 100 -20 &H1F 0";
        QTest::newRow("inner blank kept") << QStringList{"7", "1 0", "2", "3", "4"} << "SETP 7 1 0 2 3 4";
        QTest::newRow("empty field leaves two blanks") << QStringList{"7", "100", "", "&H1F", "0"}
                                                       << "SETP 7 100  &H1F 0";
        QTest::newRow("blank-only field is empty") << QStringList{"7", "100", "   ", "&H1F", "0"}
                                                   << "SETP 7 100  &H1F 0";
        QTest::newRow("counters") << QStringList{"-1", "5", "6", "7", "8"} << "SETP -1 5 6 7 8";
    }

    void pointSet()
    {
        QFETCH(QStringList, row);
        QFETCH(QString, command);
        QCOMPARE(axis::pointSetCommand(row[0], row[1], row[2], row[3], row[4]), command);
    }

    void confirmations()
    {
        QCOMPARE(axis::executeMessage(QStringLiteral("SETP 7 1 2 3 4")),
                 QString::fromUtf8("SETP 7 1 2 3 4\n\xE3\x82\x92\xE5\xAE\x9F\xE8\xA1\x8C\xE3\x81\x97"
                                   "\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82"));
        QCOMPARE(axis::kClearCountersMessage,
                 QString::fromUtf8("\xE3\x82\xAB\xE3\x82\xA6\xE3\x83\xB3\xE3\x82\xBF\xE3\x82\x92\xE3\x82\xAF"
                                   "\xE3\x83\xAA\xE3\x82\xA2\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82"));
        QCOMPARE(axis::kClearPositionsMessage,
                 QString::fromUtf8("\xE7\x8F\xBE\xE5\x9C\xA8\xE5\x80\xA4\xE3\x82\x92\xE3\x82\xAF\xE3\x83\xAA"
                                   "\xE3\x82\xA2\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82"));
    }
};

QTEST_GUILESS_MAIN(TestJog)
#include "test_jog.moc"
