// The point table's query, reply splitting and coordinate display, and the
// texts of teaching and setting points.
#include "axis/jog.h"
#include "axis/pointtable.h"

#include <QTest>

using Fields = QVector<std::optional<QString>>;
Q_DECLARE_METATYPE(Fields)

namespace {

Fields fieldsOf(const QStringList &shown)
{
    Fields out(axis::kTableFields);
    for (int k = 0; k < shown.size(); ++k)
        out[k] = shown.at(k);
    return out;
}

} // namespace

class TestPointTable : public QObject
{
    Q_OBJECT

private slots:
    void firstPoint_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("negative") << "-2" << QStringList{"-2", "-1", "0", "1"};
        QTest::newRow("plus sign") << "+7" << QStringList{"7", "8", "9", "10"};
        QTest::newRow("empty is 0") << "" << QStringList{"0", "1", "2", "3"};
        QTest::newRow("largest start keeps four numbers")
            << "9223372036854775807"
            << QStringList{"9223372036854775804", "9223372036854775805", "9223372036854775806",
                           "9223372036854775807"};
    }
    void firstPoint()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, rows);
        const auto got = axis::rowPointNumbers(axis::firstPointFromText(typed));
        QCOMPARE(QStringList(got.begin(), got.end()), rows);
        QCOMPARE(axis::pointQuery(got), "PR P(" + rows.join(") P(") + ')');
    }

    // The full sixteen come from the simulator in the axis panel's test; here
    // the splitting, odd lengths and non-integers, which hexadecimal leaves be.
    void table_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<Fields>("fields");
        QStringList sixteen;
        for (int v = 1; v <= 16; ++v)
            sixteen << QString::number(v);
        QTest::newRow("extra values ignored")
            << "\r\n " + sixteen.join(' ') + " 17 18\r\n#" << false << fieldsOf(sixteen);
        QTest::newRow("# and continuation go, trailing blank gives an empty value")
            << QStringLiteral("\r\n 1#2\r\n 34 5 \r\n#") << false << fieldsOf({"1234", "5", ""});
        QTest::newRow("fewer values: the rest keep their text")
            << QStringLiteral("\r\n 1 2 abc\r\n#") << false << fieldsOf({"1", "2", "abc"});
        QTest::newRow("hex edges")
            << QStringLiteral("\r\n 4294967297 -2147483648 ERR  1.5 99999999999999999999\r\n#") << true
            << fieldsOf({"&H00000001", "&H80000000", "ERR", "", "1.5", "99999999999999999999"});
        QTest::newRow("bare prompt changes nothing") << QStringLiteral("\r\n#") << true << Fields(16);
    }
    void table()
    {
        QFETCH(QString, reply);
        QFETCH(bool, hex);
        QFETCH(Fields, fields);
        QCOMPARE(axis::tableDisplay(reply, hex), fields);
    }

    // Trimming and refusals show in the axis panel's test. A taught number goes
    // in as typed (even empty), and an inner blank of a coordinate is the user's.
    void jogTextsAsTyped()
    {
        using axis::JogDirection;
        const QString p = QStringLiteral("100"), a = QStringLiteral("5000");
        QCOMPARE(axis::jogCommands(0, JogDirection::Minus, p, a),
                 QStringList({"ACCEL ALL_A 5000", "RMVS X_A -100"}));
        QCOMPARE(axis::jogCommands(0, JogDirection::Plus, p, a),
                 QStringList({"ACCEL ALL_A 5000", "RMVS X_A 100"}));
        QCOMPARE(axis::jogCommands(3, JogDirection::Stop, p, a),
                 QStringList({"ACCEL ALL_A 5000", "STOP Z_A STP_I"}));
        QCOMPARE(axis::jogCommands(4, JogDirection::Plus, p, a), QStringList({"ACCEL ALL_A 5000"}));
        QCOMPARE(axis::teachCommand(QStringLiteral(" 7x")), QStringLiteral("SETP  7x P(0)"));
        QCOMPARE(axis::teachMessage(QString()), QStringLiteral("ここを\u3000P( )とします。"));
        QCOMPARE(axis::pointSetCommand("7", "1 0", "2", "3", "4"), QStringLiteral("SETP 7 1 0 2 3 4"));
    }
};

QTEST_GUILESS_MAIN(TestPointTable)
#include "test_pointtable.moc"
