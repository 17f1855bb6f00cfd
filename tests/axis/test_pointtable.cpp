// The point table's query, reply splitting and coordinate display.
#include "axis/pointtable.h"

#include <QTest>

using Fields = QVector<std::optional<QString>>;
Q_DECLARE_METATYPE(Fields)

class TestPointTable : public QObject
{
    Q_OBJECT

private:
    static Fields fieldsOf(const QStringList &shown)
    {
        Fields out(axis::kTableFields);
        for (int k = 0; k < shown.size(); ++k)
            out[k] = shown.at(k);
        return out;
    }

private slots:
    void firstPoint_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("rows");
        const QStringList fromZero{"0", "1", "2", "3"};
        QTest::newRow("negative") << "-2" << QStringList{"-2", "-1", "0", "1"};
        QTest::newRow("plus sign") << "+7" << QStringList{"7", "8", "9", "10"};
        QTest::newRow("empty is 0") << "" << fromZero;
        QTest::newRow("blank around is not an integer") << " 5" << fromZero;
        QTest::newRow("fraction") << "1.5" << fromZero;
        QTest::newRow("past 64 bits") << "99999999999999999999" << fromZero;
        QTest::newRow("largest start keeps four numbers")
            << "9223372036854775807"
            << QStringList{"9223372036854775804", "9223372036854775805", "9223372036854775806",
                           "9223372036854775807"};
        QTest::newRow("smallest") << "-9223372036854775808"
                                  << QStringList{"-9223372036854775808", "-9223372036854775807",
                                                 "-9223372036854775806", "-9223372036854775805"};
    }
    void firstPoint()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, rows);
        const auto got = axis::rowPointNumbers(axis::firstPointFromText(typed));
        QCOMPARE(QStringList(got.begin(), got.end()), rows);
    }

    void values_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("continuation inside a number") << "\r\n 12\r\n 34 5\r\n#" << QStringList{"1234", "5"};
        QTest::newRow("empty piece between two blanks counts") << "\r\n 1  3\r\n#" << QStringList{"1", "", "3"};
        QTest::newRow("every # goes") << "\r\n 1#2 3\r\n#" << QStringList{"12", "3"};
        QTest::newRow("bare prompt is no value") << "\r\n#" << QStringList{};
        QTest::newRow("trailing blank leaves an empty last value") << "\r\n 1 2 \r\n#" << QStringList{"1", "2", ""};
    }
    void values()
    {
        QFETCH(QString, reply);
        QFETCH(QStringList, values);
        QCOMPARE(axis::replyValues(reply), values);
    }

    void coordinate_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("shown");
        QTest::newRow("decimal keeps any text") << "abc" << false << "abc";
        QTest::newRow("hex low 32 bits only") << "4294967297" << true << "&H00000001";
        QTest::newRow("hex most negative 32-bit") << "-2147483648" << true << "&H80000000";
        QTest::newRow("hex of a word stays a word") << "ERR" << true << "ERR";
        QTest::newRow("hex of an empty value") << "" << true << "";
        QTest::newRow("hex of a fraction") << "1.5" << true << "1.5";
        QTest::newRow("hex past 64 bits") << "99999999999999999999" << true << "99999999999999999999";
    }
    void coordinate()
    {
        QFETCH(QString, value);
        QFETCH(bool, hex);
        QFETCH(QString, shown);
        QCOMPARE(axis::coordinateDisplay(value, hex), shown);
    }

    // The full sixteen in both forms come from the simulator in the axis
    // panel's test; here the short, long and empty replies.
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
        QTest::newRow("fewer values: the rest keep their text")
            << QStringLiteral("\r\n 1 2 3\r\n#") << false << fieldsOf({"1", "2", "3"});
        QTest::newRow("fewer values in hex")
            << QStringLiteral("\r\n -1 x\r\n#") << true << fieldsOf({"&HFFFFFFFF", "x"});
        QTest::newRow("bare prompt changes nothing") << QStringLiteral("\r\n#") << true << Fields(16);
    }
    void table()
    {
        QFETCH(QString, reply);
        QFETCH(bool, hex);
        QFETCH(Fields, fields);
        const Fields got = axis::tableDisplay(reply, hex);
        QCOMPARE(got.size(), axis::kTableFields);
        for (int k = 0; k < axis::kTableFields; ++k) {
            QVERIFY2(got[k].has_value() == fields[k].has_value(), qPrintable(QString::number(k)));
            if (fields[k])
                QCOMPARE(*got[k], *fields[k]);
        }
    }
};

QTEST_GUILESS_MAIN(TestPointTable)
#include "test_pointtable.moc"
