// The point table's query, reply splitting and display, and the jog, teach and set texts.
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
        QTest::newRow("blanks around") << "\t12 " << QStringList{"12", "13", "14", "15"};
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

    // Splitting, odd lengths, what hexadecimal leaves be; the full sixteen: the axis panel's test.
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
            << "\r\n 1#2\r\n 34 5 \r\n#" << false << fieldsOf({"1234", "5", ""});
        QTest::newRow("fewer values: the rest keep their text")
            << "\r\n 1 2 abc\r\n#" << false << fieldsOf({"1", "2", "abc"});
        QTest::newRow("hex edges") << "\r\n 4294967297 -2147483648 ERR  1.5 99999999999999999999\r\n#" << true
                                   << fieldsOf({"&H00000001", "&H80000000", "ERR", "", "1.5",
                                                "99999999999999999999"});
        QTest::newRow("bare prompt changes nothing") << "\r\n#" << true << Fields(16);
    }
    void table()
    {
        QFETCH(QString, reply);
        QFETCH(bool, hex);
        QFETCH(Fields, fields);
        QCOMPARE(axis::tableDisplay(reply, hex), fields);
    }

    // Taught numbers go in as typed (even empty), so do inner blanks; the jogs: the axis panel's test.
    void jogTextsAsTyped()
    {
        QCOMPARE(axis::jogCommands(4, axis::JogDirection::Plus, "100", "5000"),
                 QStringList{"ACCEL ALL_A 5000"});
        QCOMPARE(axis::teachCommand(" 7x"), "SETP  7x P(0)");
        QCOMPARE(axis::teachMessage(QString()), "ここを\u3000P( )とします。");
        QCOMPARE(axis::pointSetCommand("7", "1 0", "2", "3", "4"), "SETP 7 1 0 2 3 4");
    }
};

QTEST_GUILESS_MAIN(TestPointTable)
#include "test_pointtable.moc"
