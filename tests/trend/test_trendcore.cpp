// The trend's rules without a window: the ring, the reduction, the reads, reply values and CSV.
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

void row(const char *name, const std::optional<Probe> &probe, const char *reply, const char *value)
{
    QTest::newRow(name) << probe << QString::fromUtf8(reply) << QString::fromLatin1(value);
}

} // namespace

class TestTrendCore : public QObject
{
    Q_OBJECT

private slots:
    void ringKeepsTheLastHourAndFindsTimes()
    {
        Series s;
        // One hour of 0.3 s ticks, then one more: the oldest goes.
        for (int i = 0; i <= 12000; ++i)
            s.append(i * 300, i);
        QCOMPARE(s.size(), 12000);
        QCOMPARE(s.at(0).ms, qint64(300));
        QCOMPARE(s.last()->value, 12000.0);

        Series small(4);
        for (int i = 0; i < 6; ++i) // holds 200, 300, 400, 500 after wrapping
            small.append(i * 100, i * 10);
        QCOMPARE(QList<double>({small.at(0).value, small.at(1).value, small.at(3).value}),
                 QList<double>({20, 30, 50}));
        QCOMPARE(QList<int>({small.lowerBound(0), small.lowerBound(250), small.lowerBound(300),
                             small.lowerBound(501)}),
                 QList<int>({0, 1, 1, 4}));
        small.clear();
        QVERIFY(small.size() == 0 && !small.last());
    }

    void reductionKeepsExtremes()
    {
        Series s;
        // 1000 samples in 10 columns of 100: a spike in the middle of each.
        for (int i = 0; i < 1000; ++i)
            s.append(i, i % 100 == 50 ? 1000.0 : (i % 100 == 20 ? -5.0 : 0.0));
        QList<QPointF> out;
        reduce(s, 0, 999, 10, &out);
        QVERIFY(out.size() <= 2 * 10 + 2); // two a column and the two ends
        const auto count = [&out](double y) {
            return int(std::count_if(out.cbegin(), out.cend(), [y](const QPointF &p) { return p.y() == y; }));
        };
        QCOMPARE(count(1000.0), 10);
        QCOMPARE(count(-5.0), 10);
        // Outside the window nothing is drawn.
        reduce(s, 2000, 3000, 10, &out);
        QVERIFY(out.isEmpty());
    }

    // A wrapped ring, a window inside it, columns that do not divide the sample spacing.
    void reductionOfAWrappedRingKeepsEachColumnsExtremes()
    {
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

        // In time order, from the window's first sample to its newest, at most two a column besides the ends.
        QVERIFY(out.size() <= 2 * columns + 2);
        for (int i = 1; i < out.size(); ++i)
            QVERIFY2(out[i].x() > out[i - 1].x(), qPrintable(QString::number(i)));
        QCOMPARE(out.constFirst().x(), double(s.at(s.lowerBound(from)).ms));
        QCOMPARE(out.constLast().x(), double(to));
        const qint64 width = (to - from) / columns + 1;
        QMap<qint64, int> perColumn;
        for (int i = 1; i + 1 < out.size(); ++i)
            QVERIFY(++perColumn[qint64(out[i].x()) / width] <= 2);
        // Every point is a real sample; the window's lowest and highest (the spike) are kept.
        QList<double> window;
        for (int i = s.lowerBound(from); i < s.size() && s.at(i).ms <= to; ++i)
            window << s.at(i).value;
        QList<double> kept;
        for (const QPointF &p : std::as_const(out)) {
            const int k = s.lowerBound(qint64(p.x()));
            QVERIFY(k < s.size());
            QCOMPARE(double(s.at(k).ms), p.x());
            QCOMPARE(s.at(k).value, p.y());
            kept << p.y();
        }
        QCOMPARE(*std::max_element(kept.cbegin(), kept.cend()), 5000.0);
        QCOMPARE(*std::min_element(kept.cbegin(), kept.cend()),
                 *std::min_element(window.cbegin(), window.cend()));
    }

    void valuesFromReplies_data()
    {
        QTest::addColumn<std::optional<Probe>>("probe");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("value"); // empty: no value
        using monitor::BitGroup;
        const auto bit = [](BitGroup g, const char *bank, int k) {
            return monitor::bitProbe(g, QLatin1String(bank), k);
        };
        const auto var = [](const char *name) { return panels::variableProbe(QLatin1String(name)); };
        row("output bit set", bit(BitGroup::Outputs, "2", 3), "\r\n 8\r\n#", "1");
        row("output bit clear", bit(BitGroup::Outputs, "2", 2), "\r\n 8\r\n#", "0");
        row("mbk bit 15", bit(BitGroup::MbkBits, "70000", 15), "\r\n 32768\r\n#", "1");
        row("bit error text", bit(BitGroup::Inputs, "24", 0), "\r\n\tSyntax Error\r\n#", "");
        row("variable", var("A"), "\r\n -25\r\n#", "-25");
        row("variable fraction", var("B"), "\r\n 2.5\r\n#", "2.5");
        row("variable error", var("A"), "\r\n\tエラー\r\n#", "");
        // Only finite numbers the plot's axis can span are samples.
        row("variable inf", var("A"), "\r\n inf\r\n#", "");
        row("variable -inf", var("A"), "\r\n -inf\r\n#", "");
        row("variable nan", var("A"), "\r\n nan\r\n#", "");
        row("variable too large", var("A"), "\r\n -1E+300\r\n#", "");
        row("variable large", var("A"), "\r\n 1E+12\r\n#", "1e+12");
        row("mbk word", panels::mbkProbe(QStringLiteral("100"), panels::MbkSize::Wrd), "\r\n 65535\r\n#",
            "65535");
        const char *axisReply = "\r\n 0 64 100 -200 300 0 255 1 2 3 4\r\n#";
        row("position Y", monitor::axisProbe(false, 1), axisReply, "-200");
        row("counter Z", monitor::axisProbe(true, 3), axisReply, "4");
        row("position inf", monitor::axisProbe(false, 0), "\r\n 0 64 inf -200 300 0 255 1 2 3 4\r\n#", "");
        row("axis cut short", monitor::axisProbe(true, 3), "\r\n 0 64 100\r\n#", "");
        row("task step", panels::taskProbe(QStringLiteral("3")), "\r\n  12 1\r\n#", "12");
    }

    // What the legend calls a value; a text variable or a lamp beyond the bank is never offered.
    void legendNames()
    {
        using monitor::BitGroup;
        QCOMPARE(monitor::bitProbe(BitGroup::Outputs, QStringLiteral("2"), 3)->label,
                 QStringLiteral("OUT 19"));
        QCOMPARE(monitor::bitProbe(BitGroup::MbkBits, QStringLiteral("70000"), 2)->label,
                 QStringLiteral("MBK 70002"));
        QVERIFY(!monitor::bitProbe(BitGroup::Outputs, QStringLiteral("2"), 8));
        QCOMPARE(panels::mbkProbe(QStringLiteral("100"), panels::MbkSize::Wrd)->label,
                 QStringLiteral("MBK(100~Wrd)"));
        QVERIFY(!panels::mbkProbe(QStringLiteral(" "), panels::MbkSize::Wrd));
        QCOMPARE(panels::variableProbe(QStringLiteral("A"))->label, QStringLiteral("A"));
        QVERIFY(!panels::variableProbe(QStringLiteral("A$")));
    }

    void valuesFromReplies()
    {
        QFETCH(std::optional<Probe>, probe);
        QFETCH(QString, reply);
        QFETCH(QString, value);
        QVERIFY(probe);
        const std::optional<double> v = valueOf(*probe, reply);
        QCOMPARE(v ? QString::number(*v) : QString(), value);
    }

    void extraReadsInOrderCappedAndDeduplicated()
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

        // B comes from the page's reply, nothing from a read not made; the tick's end forgets all.
        QCOMPARE(s.value(probes[3]), std::optional<double>(7));
        QVERIFY(!s.value(probes[0]));
        s.extraRead(QStringLiteral("PR IN(2000)"), QStringLiteral("\r\n 2\r\n#"));
        QCOMPARE(s.value(probes[1]), std::optional<double>(0));
        QCOMPARE(s.value(probes[2]), std::optional<double>(1));
        s.endTick();
        QVERIFY(!s.value(probes[3]));
    }

    void axisValuesFromTheAxisPagesBoard()
    {
        const QVector<Probe> probes = {monitor::axisProbe(false, 0),
                                       *panels::variableProbe(QStringLiteral("A")),
                                       monitor::axisProbe(true, 2)};
        Sampler s;
        // One read for every axis value (no board and the selection: axisValuesFollowTheAxisPagesBoard).
        QCOMPARE(wire(s.extraReads(probes, 1, false)), QStringList({probes[0].command, "PR A"}));
        // The Axis page's own read gives them, whatever register it also asks for.
        s.pageRead(QStringLiteral("PR LMT(0) HPT(0) P(0) RR3(Z_A,1) X(-1) Y(-1) U(-1) Z(-1)"),
                   QStringLiteral("\r\n 0 0 1 2 3 4 5 6 7 8 9\r\n#"));
        QCOMPARE(wire(s.extraReads(probes, 1, true)), QStringList({"PR A"}));
        QCOMPARE(s.value(probes[0]), std::optional<double>(1));
        QCOMPARE(s.value(probes[2]), std::optional<double>(8));
        // Anything else is read as it is.
        QCOMPARE(readKey(QStringLiteral("PR LMT(0)")), QStringLiteral("PR LMT(0)"));
    }

    void csvRowsShareTimes()
    {
        const qint64 t0 = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3)).toMSecsSinceEpoch();
        Series a;
        Series b;
        a.append(t0, 1);
        a.append(t0 + 300, 0);
        b.append(t0 + 300, 12.5); // added a tick later
        a.append(t0 + 600, 1);
        b.append(t0 + 600, -3);
        QCOMPARE(csvText({QStringLiteral("OUT 3"), QStringLiteral("A, B")}, {&a, &b}),
                 QStringLiteral("time,OUT 3,\"A, B\"\r\n"
                                "2026-12-05T09:05:03.000,1,\r\n"
                                "2026-12-05T09:05:03.300,0,12.5\r\n"
                                "2026-12-05T09:05:03.600,1,-3\r\n"));
    }
};

QTEST_APPLESS_MAIN(TestTrendCore)
#include "test_trendcore.moc"
