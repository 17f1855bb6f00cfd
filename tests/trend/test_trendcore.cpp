// The trend's rules without a window: the sample ring, the reduction of a
// window to what a plot can show, what a tick must read, the values taken out
// of replies, and the CSV export.
#include "monitor/axissignals.h"
#include "monitor/bits.h"
#include "panels/mbk.h"
#include "panels/tasks.h"
#include "panels/variables.h"
#include "trend/csv.h"
#include "trend/probe.h"
#include "trend/sampler.h"
#include "trend/series.h"

#include <QTest>
#include <algorithm>
#include <cmath>

using namespace trend;

namespace {

// The command lines the reads put on the wire, in order.
QStringList wire(const QVector<Read> &reads)
{
    QStringList lines;
    for (const Read &r : reads) {
        if (!r.selection.isEmpty())
            lines << r.selection;
        lines << r.command;
    }
    return lines;
}

} // namespace

class TestTrendCore : public QObject
{
    Q_OBJECT

private slots:
    void ringKeepsTheLastHour();
    void ringFindsTimes();
    void reductionKeepsExtremes();
    void reductionOfAWrappedRingKeepsEachColumnsExtremes();
    void valuesFromReplies_data();
    void valuesFromReplies();
    void extraReadsInOrderCappedAndDeduplicated();
    void axisValuesFromTheAxisPagesBoard();
    void csvRowsShareTimes();
};

void TestTrendCore::ringKeepsTheLastHour()
{
    Series s;
    // One hour of 0.3 s ticks, then one more: the oldest goes.
    for (int i = 0; i <= 12000; ++i)
        s.append(i * 300, i);
    QCOMPARE(s.size(), 12000);
    QCOMPARE(s.at(0).ms, qint64(300));
    QCOMPARE(s.last()->value, 12000.0);

    Series small(3);
    for (int i = 1; i <= 7; ++i)
        small.append(i, i * 10);
    QCOMPARE(small.size(), 3);
    QCOMPARE(QList<double>({small.at(0).value, small.at(1).value, small.at(2).value}),
             QList<double>({50, 60, 70}));
    small.clear();
    QCOMPARE(small.size(), 0);
    QVERIFY(!small.last());
}

void TestTrendCore::ringFindsTimes()
{
    Series s(4);
    for (int i = 0; i < 6; ++i) // holds 200, 300, 400, 500 after wrapping
        s.append(i * 100, i);
    QCOMPARE(s.lowerBound(0), 0);
    QCOMPARE(s.lowerBound(250), 1);
    QCOMPARE(s.lowerBound(300), 1);
    QCOMPARE(s.lowerBound(501), 4);
}

void TestTrendCore::reductionKeepsExtremes()
{
    Series s;
    // 1000 samples in 10 columns of 100: a spike in the middle of each.
    for (int i = 0; i < 1000; ++i)
        s.append(i, i % 100 == 50 ? 1000.0 : (i % 100 == 20 ? -5.0 : 0.0));
    QList<QPointF> out;
    reduce(s, 0, 999, 10, &out);
    QVERIFY(out.size() <= 2 * 10 + 2); // two a column and the two ends
    int spikes = 0;
    int dips = 0;
    for (const QPointF &p : out) {
        spikes += p.y() == 1000.0;
        dips += p.y() == -5.0;
    }
    QCOMPARE(spikes, 10);
    QCOMPARE(dips, 10);
    // In time order.
    for (int i = 1; i < out.size(); ++i)
        QVERIFY(out[i].x() > out[i - 1].x());
    // Outside the window nothing is drawn.
    reduce(s, 2000, 3000, 10, &out);
    QVERIFY(out.isEmpty());
}

void TestTrendCore::reductionOfAWrappedRingKeepsEachColumnsExtremes()
{
    // A ring that has wrapped (its oldest sample sits mid-buffer), a window
    // that starts and ends inside it, and column widths that do not divide
    // the sample spacing: what the dock sees after an hour of ticks.
    Series s(1000);
    for (int i = 0; i < 2600; ++i)
        s.append(i * 300, std::sin(i * 0.37) * 100.0 + (i % 13));
    s.append(2600 * 300, 5000.0); // one spike among 12 quiet samples
    for (int i = 2601; i < 2613; ++i)
        s.append(i * 300, 0.0);
    const qint64 from = 1700 * 300 + 150;
    const qint64 to = 2612 * 300;
    const int columns = 97;
    QList<QPointF> out;
    reduce(s, from, to, columns, &out);

    QVERIFY(out.size() <= 2 * columns + 2);
    for (int i = 1; i < out.size(); ++i)
        QVERIFY2(out[i].x() > out[i - 1].x(), qPrintable(QString::number(i)));
    // The line runs from the window's first sample to its newest.
    QCOMPARE(out.constFirst().x(), double(s.at(s.lowerBound(from)).ms));
    QCOMPARE(out.constLast().x(), double(to));
    QVERIFY(std::any_of(out.cbegin(), out.cend(), [](const QPointF &p) { return p.y() == 5000.0; }));
    // Every point is a real sample, and the window's lowest and highest
    // samples are among them.
    double lowest = 1e9;
    double highest = -1e9;
    for (int i = s.lowerBound(from); i < s.size() && s.at(i).ms <= to; ++i) {
        lowest = std::min(lowest, s.at(i).value);
        highest = std::max(highest, s.at(i).value);
    }
    double keptLowest = 1e9;
    double keptHighest = -1e9;
    for (const QPointF &p : std::as_const(out)) {
        const int k = s.lowerBound(qint64(p.x()));
        QVERIFY(k < s.size());
        QCOMPARE(double(s.at(k).ms), p.x());
        QCOMPARE(s.at(k).value, p.y());
        keptLowest = std::min(keptLowest, p.y());
        keptHighest = std::max(keptHighest, p.y());
    }
    QCOMPARE(keptLowest, lowest);
    QCOMPARE(keptHighest, highest);
    // Two points a column at most besides the two ends, the window cut into
    // `columns` equal spans.
    const qint64 width = (to - from) / columns + 1;
    QMap<qint64, int> perColumn;
    for (int i = 1; i + 1 < out.size(); ++i)
        ++perColumn[qint64(out[i].x()) / width];
    for (auto it = perColumn.cbegin(); it != perColumn.cend(); ++it)
        QVERIFY2(it.value() <= 2, qPrintable(QString::number(it.key())));
}

void TestTrendCore::valuesFromReplies_data()
{
    QTest::addColumn<std::optional<Probe>>("probe");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("value"); // empty: no value

    const auto bit = [](monitor::BitGroup g, const char *bank, int k) {
        return monitor::bitProbe(g, QLatin1String(bank), k);
    };
    QTest::newRow("output bit set") << bit(monitor::BitGroup::Outputs, "2", 3) << "\r\n 8\r\n#"
                                    << "1";
    QTest::newRow("output bit clear") << bit(monitor::BitGroup::Outputs, "2", 2) << "\r\n 8\r\n#"
                                      << "0";
    QTest::newRow("mbk bit 15") << bit(monitor::BitGroup::MbkBits, "70000", 15) << "\r\n 32768\r\n#"
                                << "1";
    QTest::newRow("bit error text") << bit(monitor::BitGroup::Inputs, "24", 0) << "\r\n\tSyntax Error\r\n#"
                                    << "";
    QTest::newRow("variable") << panels::variableProbe(QStringLiteral("A")) << "\r\n -25\r\n#"
                              << "-25";
    QTest::newRow("variable fraction") << panels::variableProbe(QStringLiteral("B")) << "\r\n 2.5\r\n#"
                                       << "2.5";
    QTest::newRow("variable error") << panels::variableProbe(QStringLiteral("A")) << "\r\n\tエラー\r\n#"
                                    << "";
    // Only finite numbers the plot's axis can span are samples.
    QTest::newRow("variable inf") << panels::variableProbe(QStringLiteral("A")) << "\r\n inf\r\n#"
                                  << "";
    QTest::newRow("variable -inf") << panels::variableProbe(QStringLiteral("A")) << "\r\n -inf\r\n#"
                                   << "";
    QTest::newRow("variable nan") << panels::variableProbe(QStringLiteral("A")) << "\r\n nan\r\n#"
                                  << "";
    QTest::newRow("variable too large") << panels::variableProbe(QStringLiteral("A")) << "\r\n -1E+300\r\n#"
                                        << "";
    QTest::newRow("variable large") << panels::variableProbe(QStringLiteral("A")) << "\r\n 1E+12\r\n#"
                                    << "1e+12";
    QTest::newRow("mbk word") << panels::mbkProbe(QStringLiteral("100"), panels::MbkSize::Wrd)
                              << "\r\n 65535\r\n#"
                              << "65535";
    const QString axisReply = QStringLiteral("\r\n 0 64 100 -200 300 0 255 1 2 3 4\r\n#");
    QTest::newRow("position Y") << std::optional<Probe>(monitor::axisProbe(false, 1)) << axisReply << "-200";
    QTest::newRow("counter Z") << std::optional<Probe>(monitor::axisProbe(true, 3)) << axisReply << "4";
    QTest::newRow("position inf") << std::optional<Probe>(monitor::axisProbe(false, 0))
                                  << "\r\n 0 64 inf -200 300 0 255 1 2 3 4\r\n#"
                                  << "";
    QTest::newRow("axis cut short") << std::optional<Probe>(monitor::axisProbe(true, 3))
                                    << "\r\n 0 64 100\r\n#"
                                    << "";
    QTest::newRow("task step") << panels::taskProbe(QStringLiteral("3")) << "\r\n  12 1\r\n#"
                               << "12";
}

void TestTrendCore::valuesFromReplies()
{
    QFETCH(std::optional<Probe>, probe);
    QFETCH(QString, reply);
    QFETCH(QString, value);
    QVERIFY(probe);
    const std::optional<double> v = valueOf(*probe, reply);
    QCOMPARE(v ? QString::number(*v) : QString(), value);
}

void TestTrendCore::extraReadsInOrderCappedAndDeduplicated()
{
    QVector<Probe> probes;
    for (const char *name : {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"})
        probes << *panels::variableProbe(QLatin1String(name));
    // Two bits of one bank are one read.
    probes.insert(1, *monitor::bitProbe(monitor::BitGroup::CuOutputs, QStringLiteral("2000"), 0));
    probes.insert(2, *monitor::bitProbe(monitor::BitGroup::CuOutputs, QStringLiteral("2000"), 1));

    Sampler s;
    s.pageRead(QStringLiteral("PR B"), QStringLiteral("\r\n 7\r\n#"));
    QCOMPARE(wire(s.extraReads(probes, std::nullopt, false)),
             QStringList({"PR A", "PR IN(2000)", "PR C", "PR D", "PR E", "PR F", "PR G", "PR H"}));

    // The page's reply gives B without a read; a read that did not happen
    // gives nothing; the tick's end forgets everything.
    QCOMPARE(s.value(probes[3]), std::optional<double>(7));
    QVERIFY(!s.value(probes[0]));
    s.extraRead(QStringLiteral("PR IN(2000)"), QStringLiteral("\r\n 2\r\n#"));
    QCOMPARE(s.value(probes[1]), std::optional<double>(0));
    QCOMPARE(s.value(probes[2]), std::optional<double>(1));
    s.endTick();
    QVERIFY(!s.value(probes[3]));
}

void TestTrendCore::axisValuesFromTheAxisPagesBoard()
{
    const QVector<Probe> probes = {monitor::axisProbe(false, 0), *panels::variableProbe(QStringLiteral("A")),
                                   monitor::axisProbe(true, 2)};
    const QString axisRead = probes[0].command;
    Sampler s;
    // No board, no axis read; with one, a single read for every axis value,
    // its selection first while one is due.
    QCOMPARE(wire(s.extraReads(probes, std::nullopt, true)), QStringList({"PR A"}));
    QCOMPARE(wire(s.extraReads(probes, 1, true)), QStringList({"MPG 1", axisRead, "PR A"}));
    QCOMPARE(wire(s.extraReads(probes, 1, false)), QStringList({axisRead, "PR A"}));

    // The Axis page's own read gives them, whatever register it also asks for.
    s.pageRead(QStringLiteral("PR LMT(0) HPT(0) P(0) RR3(Z_A,1) X(-1) Y(-1) U(-1) Z(-1)"),
               QStringLiteral("\r\n 0 0 1 2 3 4 5 6 7 8 9\r\n#"));
    QCOMPARE(wire(s.extraReads(probes, 1, true)), QStringList({"PR A"}));
    QCOMPARE(s.value(probes[0]), std::optional<double>(1));
    QCOMPARE(s.value(probes[2]), std::optional<double>(8));
    // Anything else is read as it is.
    QCOMPARE(readKey(QStringLiteral("PR LMT(0)")), QStringLiteral("PR LMT(0)"));
}

void TestTrendCore::csvRowsShareTimes()
{
    const qint64 t0 = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3)).toMSecsSinceEpoch();
    Series a;
    Series b;
    a.append(t0, 1);
    a.append(t0 + 300, 0);
    b.append(t0 + 300, 12.5); // added a tick later
    a.append(t0 + 600, 1);
    b.append(t0 + 600, -3);
    const QString csv = csvText({QStringLiteral("OUT 3"), QStringLiteral("A, B")}, {&a, &b});
    QCOMPARE(csv, QStringLiteral("time,OUT 3,\"A, B\"\r\n"
                                 "2026-12-05T09:05:03.000,1,\r\n"
                                 "2026-12-05T09:05:03.300,0,12.5\r\n"
                                 "2026-12-05T09:05:03.600,1,-3\r\n"));
}

QTEST_APPLESS_MAIN(TestTrendCore)
#include "test_trendcore.moc"
