// The point table's query, reply splitting and coordinate display.
#include "axis/pointtable.h"

#include <QTest>
#include <limits>

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
    void query()
    {
        QCOMPARE(axis::pointQuery({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                   QStringLiteral("4")}),
                 QStringLiteral("PR P(1) P(2) P(3) P(4)"));
        QCOMPARE(axis::pointQuery({QStringLiteral("10"), QStringLiteral("11"), QStringLiteral("12"),
                                   QStringLiteral("13")}),
                 QStringLiteral("PR P(10) P(11) P(12) P(13)"));
    }

    void firstPoint_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("rows");
        const auto rows = [](const char *a, const char *b, const char *c, const char *d) {
            return QStringList{QLatin1String(a), QLatin1String(b), QLatin1String(c), QLatin1String(d)};
        };
        QTest::newRow("ten") << "10" << rows("10", "11", "12", "13");
        QTest::newRow("zero") << "0" << rows("0", "1", "2", "3");
        QTest::newRow("negative") << "-2" << rows("-2", "-1", "0", "1");
        QTest::newRow("plus sign") << "+7" << rows("7", "8", "9", "10");
        QTest::newRow("empty is 0") << "" << rows("0", "1", "2", "3");
        QTest::newRow("blank around is not an integer") << " 5" << rows("0", "1", "2", "3");
        QTest::newRow("letters") << "12X" << rows("0", "1", "2", "3");
        QTest::newRow("fraction") << "1.5" << rows("0", "1", "2", "3");
        QTest::newRow("hexadecimal is not decimal") << "&H10" << rows("0", "1", "2", "3");
        QTest::newRow("past 64 bits") << "99999999999999999999" << rows("0", "1", "2", "3");
        QTest::newRow("largest start keeps four numbers")
            << "9223372036854775807"
            << rows("9223372036854775804", "9223372036854775805", "9223372036854775806",
                    "9223372036854775807");
        QTest::newRow("smallest") << "-9223372036854775808"
                                  << rows("-9223372036854775808", "-9223372036854775807",
                                          "-9223372036854775806", "-9223372036854775805");
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
        QTest::newRow("one line")
            << "\r\n 1 2 3\r\n#" << QStringList{"1", "2", "3"};
        QTest::newRow("continued line joins")
            << "\r\n 100 200 0 0 5 6 7 8 9 10 11 12 13 \r\n 14 15 16\r\n#"
            << QStringList{"100", "200", "0", "0", "5", "6", "7", "8", "9", "10", "11", "12", "13",
                           "14", "15", "16"};
        QTest::newRow("continuation inside a number")
            << "\r\n 12\r\n 34 5\r\n#" << QStringList{"1234", "5"};
        QTest::newRow("empty piece between two blanks counts")
            << "\r\n 1  3\r\n#" << QStringList{"1", "", "3"};
        QTest::newRow("breakpoint prompt already rewritten")
            << "\r\n -1 0\r\n#" << QStringList{"-1", "0"};
        QTest::newRow("every # goes")
            << "\r\n 1#2 3\r\n#" << QStringList{"12", "3"};
        QTest::newRow("bare prompt is no value") << "\r\n#" << QStringList{};
        QTest::newRow("nothing") << "" << QStringList{};
        QTest::newRow("trailing blank leaves an empty last value")
            << "\r\n 1 2 \r\n#" << QStringList{"1", "2", ""};
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
        QTest::newRow("decimal as received") << "100" << false << "100";
        QTest::newRow("decimal keeps any text") << "abc" << false << "abc";
        QTest::newRow("hex 100") << "100" << true << "&H00000064";
        QTest::newRow("hex -1") << "-1" << true << "&HFFFFFFFF";
        QTest::newRow("hex 0") << "0" << true << "&H00000000";
        QTest::newRow("hex low 32 bits only") << "4294967297" << true << "&H00000001";
        QTest::newRow("hex most negative 32-bit") << "-2147483648" << true << "&H80000000";
        QTest::newRow("hex of a word stays a word") << "ERR" << true << "ERR";
        QTest::newRow("hex of an empty value") << "" << true << "";
        QTest::newRow("hex of a fraction") << "1.5" << true << "1.5";
        QTest::newRow("hex of a hex text") << "&H1F" << true << "&H1F";
        QTest::newRow("hex past 64 bits") << "99999999999999999999" << true << "99999999999999999999";
    }

    void coordinate()
    {
        QFETCH(QString, value);
        QFETCH(bool, hex);
        QFETCH(QString, shown);
        QCOMPARE(axis::coordinateDisplay(value, hex), shown);
    }

    void table_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<Fields>("fields");
        QStringList sixteen{"100", "200", "0", "0"};
        for (int v = 5; v <= 16; ++v)
            sixteen << QString::number(v);
        const QString full = QStringLiteral("\r\n ") + sixteen.join(QLatin1Char(' ')) + QStringLiteral("\r\n#");
        QTest::newRow("sixteen values") << full << false << fieldsOf(sixteen);

        const QStringList sixteenHex{"&H00000064", "&H000000C8", "&H00000000", "&H00000000",
                                     "&H00000005", "&H00000006", "&H00000007", "&H00000008",
                                     "&H00000009", "&H0000000A", "&H0000000B", "&H0000000C",
                                     "&H0000000D", "&H0000000E", "&H0000000F", "&H00000010"};
        QTest::newRow("sixteen values in hex") << full << true << fieldsOf(sixteenHex);

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
