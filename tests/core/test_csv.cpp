// The exports' CSV writer: what a spreadsheet gets for each kind of cell.
#include "core/csv.h"

#include <QTest>
#include <limits>

using core::CsvField;
using Fields = QList<CsvField>;

class TestCsv : public QObject
{
    Q_OBJECT

private slots:
    void record_data()
    {
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<QString>("written");
        const auto text = &CsvField::text;
        const auto number = &CsvField::number;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("text and numbers")
            << Fields{text("OUT 3"), number(1), number(12.5)} << "OUT 3,1,12.5\r\n";
        QTest::newRow("empty cells") << Fields{text("time"), CsvField(), text({}), number(-0.25)}
                                     << "time,,,-0.25\r\n";
        QTest::newRow("comma") << Fields{text("A, B")} << "\"A, B\"\r\n";
        QTest::newRow("double quotes") << Fields{text("set \"2\"")} << "\"set \"\"2\"\"\"\r\n";
        QTest::newRow("CR and LF") << Fields{text("a\rb"), text("c\nd")} << "\"a\rb\",\"c\nd\"\r\n";
        QTest::newRow("formula starts")
            << Fields{text("=HYPERLINK(1)"), text("+A"), text("-A"), text("@SUM(1)")}
            << "'=HYPERLINK(1),'+A,'-A,'@SUM(1)\r\n";
        QTest::newRow("formula in quotes") << Fields{text("=1,\"x\"")} << "\"'=1,\"\"x\"\"\"\r\n";
        QTest::newRow("formula signs further in") << Fields{text("A=-1"), text(" =1")} << "A=-1, =1\r\n";
        QTest::newRow("negative numbers") << Fields{number(-3), number(-1e-7)} << "-3,-1e-07\r\n";
        QTest::newRow("no number") << Fields{number(nan), number(inf)} << ",\r\n";
        // Counters and long words as the controller sent them, to the last digit.
        QTest::newRow("large whole numbers") << Fields{number(1234567890123456.0), number(-12345678901.0)}
                                             << "1234567890123456,-12345678901\r\n";
    }

    void record()
    {
        QFETCH(Fields, fields);
        QFETCH(QString, written);
        QCOMPARE(core::csvRecord(fields), written);
    }
};

QTEST_APPLESS_MAIN(TestCsv)
#include "test_csv.moc"
