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

void row(const char *name, const std::optional<Probe> &probe, const char *label, const char *reply,
         const char *value)
{
    QTest::newRow(name) << probe << QString::fromLatin1(label) << QString::fromUtf8(reply)
                        << QString::fromLatin1(value);
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

    // A wrapped ring, a window inside it, columns that do not divide the sample spacing.
    void reductionKeepsEachColumnsExtremes()
    {
        Series s(1000);
        for (int i = 0; i < 2600; ++i)
            s.append(i * 300, std::sin(i * 0.37) * 100.0 + (i % 13));
        s.append(2600 * 300, 5000.0); // one spike among 12 quiet samples
        for (int i = 2601; i < 2613; ++i)
            s.append(i * 300, 0.0);
        const qint64 from = 1700 * 300 + 150, to = 2612 * 300;
        const int columns = 97;
        QList<QPointF> out;
        reduce(s, from, to, columns, &out);

        // Real samples in time order; at most two a column (its extremes) besides the ends.
        QVERIFY(out.size() <= 2 * columns + 2);
        QCOMPARE(out.constFirst().x(), double(s.at(s.lowerBound(from)).ms));
        QCOMPARE(out.constLast().x(), double(to));
        const qint64 width = (to - from) / columns + 1;
        QMap<qint64, QList<double>> window; // values by column
        for (int i = s.lowerBound(from); i < s.size() && s.at(i).ms <= to; ++i)
            window[s.at(i).ms / width] << s.at(i).value;
        QMap<qint64, QList<double>> kept;
        for (int i = 0; i < out.size(); ++i) {
            const int k = s.lowerBound(qint64(out[i].x()));
            QVERIFY2(k < s.size() && double(s.at(k).ms) == out[i].x() && s.at(k).value == out[i].y() &&
                         (i == 0 || out[i].x() > out[i - 1].x()),
                     qPrintable(QString::number(i)));
            const qint64 column = qint64(out[i].x()) / width;
            kept[column] << out[i].y();
            QVERIFY(kept[column].size() <= 2 + (column == qint64(out.constFirst().x()) / width) +
                                               (column == qint64(out.constLast().x()) / width));
        }
        for (auto c = window.cbegin(); c != window.cend(); ++c) {
            const auto [lowest, highest] = std::minmax_element(c->cbegin(), c->cend());
            QVERIFY2(kept[c.key()].contains(*lowest) && kept[c.key()].contains(*highest),
                     qPrintable(QString::number(c.key())));
        }
        // Outside the window nothing is drawn.
        reduce(s, to + 1000, to + 9000, columns, &out);
        QVERIFY(out.isEmpty());
    }

    // The legend's name and the reply's value; a text variable, a lamp past the bank, no address: none.
    void probes_data()
    {
        QTest::addColumn<std::optional<Probe>>("probe");
        QTest::addColumn<QString>("label"); // empty: not offered
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("value"); // empty: no value
        using monitor::BitGroup;
        const auto bit = [](BitGroup g, const char *bank, int k) {
            return monitor::bitProbe(g, QLatin1String(bank), k);
        };
        const auto var = [](const char *name) { return panels::variableProbe(QLatin1String(name)); };
        const auto mbk = [](const char *address) {
            return panels::mbkProbe(QLatin1String(address), panels::MbkSize::Wrd);
        };
        row("output bit set", bit(BitGroup::Outputs, "2", 3), "OUT 19", "\r\n 8\r\n#", "1");
        row("output bit clear", bit(BitGroup::Outputs, "2", 2), "OUT 18", "\r\n 8\r\n#", "0");
        row("output beyond the bank", bit(BitGroup::Outputs, "2", 8), "", "", "");
        row("bank not a number", bit(BitGroup::Outputs, "", 0), "", "", "");
        row("mbk bit 15", bit(BitGroup::MbkBits, "70000", 15), "MBK 70015", "\r\n 32768\r\n#", "1");
        row("bit error text", bit(BitGroup::Inputs, "24", 0), "IN 192", "\r\n\tSyntax Error\r\n#", "");
        row("variable", var("A"), "A", "\r\n -25\r\n#", "-25");
        row("variable fraction", var("B"), "B", "\r\n 2.5\r\n#", "2.5");
        row("variable error", var("A"), "A", "\r\n\tエラー\r\n#", "");
        row("text variable", var("A$"), "", "", "");
        // Only finite numbers the plot's axis can span are samples.
        row("variable inf", var("A"), "A", "\r\n inf\r\n#", "");
        row("variable -inf", var("A"), "A", "\r\n -inf\r\n#", "");
        row("variable nan", var("A"), "A", "\r\n nan\r\n#", "");
        row("variable too large", var("A"), "A", "\r\n -1E+300\r\n#", "");
        row("variable large", var("A"), "A", "\r\n 1E+12\r\n#", "1e+12");
        row("mbk word", mbk("100"), "MBK(100~Wrd)", "\r\n 65535\r\n#", "65535");
        row("mbk without address", mbk(" "), "", "", "");
        const char *axisReply = "\r\n 0 64 100 -200 300 0 255 1 2 3 4\r\n#";
        row("position Y", monitor::axisProbe(false, 1), "Position Y", axisReply, "-200");
        row("counter Z", monitor::axisProbe(true, 3), "Counter Z", axisReply, "4");
        row("position inf", monitor::axisProbe(false, 0), "Position X",
            "\r\n 0 64 inf -200 300 0 255 1 2 3 4\r\n#", "");
        row("axis cut short", monitor::axisProbe(true, 3), "Counter Z", "\r\n 0 64 100\r\n#", "");
        row("task step", panels::taskProbe("3"), "Task 3 step", "\r\n  12 1\r\n#", "12");
        row("task without number", panels::taskProbe(" "), "", "", "");
    }

    void probes()
    {
        QFETCH(std::optional<Probe>, probe);
        QFETCH(QString, label);
        QFETCH(QString, reply);
        QFETCH(QString, value);
        QCOMPARE(probe ? probe->label : QString(), label);
        const std::optional<double> v = probe ? valueOf(*probe, reply) : std::nullopt;
        QCOMPARE(v ? QString::number(*v) : QString(), value);
    }

    void extraReadsInOrderCappedAndDeduplicated()
    {
        QVector<Probe> probes;
        for (const char *name : {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"})
            probes << *panels::variableProbe(QLatin1String(name));
        // Two bits of one bank are one read.
        probes.insert(1, *monitor::bitProbe(monitor::BitGroup::CuOutputs, "2000", 0));
        probes.insert(2, *monitor::bitProbe(monitor::BitGroup::CuOutputs, "2000", 1));

        Sampler s;
        s.pageRead("PR B", "\r\n 7\r\n#");
        QCOMPARE(wire(s.extraReads(probes, std::nullopt, false)),
                 QStringList({"PR A", "PR IN(2000)", "PR C", "PR D", "PR E", "PR F", "PR G", "PR H"}));

        // B comes from the page's reply, nothing from a read not made; the tick's end forgets all.
        QCOMPARE(s.value(probes[3]), std::optional<double>(7));
        QVERIFY(!s.value(probes[0]));
        s.extraRead("PR IN(2000)", "\r\n 2\r\n#");
        QCOMPARE(s.value(probes[1]), std::optional<double>(0));
        QCOMPARE(s.value(probes[2]), std::optional<double>(1));
        s.endTick();
        QVERIFY(!s.value(probes[3]));
    }

    void axisValuesFromTheAxisPagesBoard()
    {
        const QVector<Probe> probes = {monitor::axisProbe(false, 0), *panels::variableProbe("A"),
                                       monitor::axisProbe(true, 2)};
        Sampler s;
        // One read for every axis value (no board and the selection: axisValuesFollowTheAxisPagesBoard).
        QCOMPARE(wire(s.extraReads(probes, 1, false)), QStringList({probes[0].command, "PR A"}));
        // The Axis page's own read gives them, whatever register it also asks for.
        s.pageRead("PR LMT(0) HPT(0) P(0) RR3(Z_A,1) X(-1) Y(-1) U(-1) Z(-1)",
                   "\r\n 0 0 1 2 3 4 5 6 7 8 9\r\n#");
        QCOMPARE(wire(s.extraReads(probes, 1, true)), QStringList({"PR A"}));
        QCOMPARE(s.value(probes[0]), std::optional<double>(1));
        QCOMPARE(s.value(probes[2]), std::optional<double>(8));
        // Anything else is read as it is.
        QCOMPARE(readKey("PR LMT(0)"), "PR LMT(0)");
    }

    void csvRowsShareTimes()
    {
        const qint64 t0 = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3)).toMSecsSinceEpoch();
        Series a, b;
        a.append(t0, 1);
        a.append(t0 + 300, 0);
        b.append(t0 + 300, 12.5); // added a tick later
        a.append(t0 + 600, 1);
        b.append(t0 + 600, -3);
        QCOMPARE(csvText({"OUT 3", "A, B"}, {&a, &b}), "time,OUT 3,\"A, B\"\r\n"
                                                       "2026-12-05T09:05:03.000,1,\r\n"
                                                       "2026-12-05T09:05:03.300,0,12.5\r\n"
                                                       "2026-12-05T09:05:03.600,1,-3\r\n");
    }
};

QTEST_APPLESS_MAIN(TestTrendCore)
#include "test_trendcore.moc"
