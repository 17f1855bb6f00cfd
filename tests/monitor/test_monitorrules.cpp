// The monitor's rules without a window: bank lists and bit numbering, bit
// replies, the axis reply, and the small rules of the polling engine.
#include "monitor/axissignals.h"
#include "monitor/banks.h"
#include "monitor/bits.h"
#include "monitor/polling.h"

#include <QRegularExpression>
#include <QTest>

using monitor::BitGroup;

Q_DECLARE_METATYPE(monitor::BitGroup)

class TestMonitorRules : public QObject
{
    Q_OBJECT

private slots:
    // Each bank list as offered, its lit colour; every title names its last and first lamp's bits
    // (only relays count downwards from lamp 0).
    void bankTitlesMatchLampNumbers()
    {
        using monitor::LampColour;
        const struct
        {
            BitGroup group;
            qsizetype count;
            const char *first, *last;
            LampColour lit;
        } lists[] = {{BitGroup::Outputs, 49, "0", "96", LampColour::Red},
                     {BitGroup::Inputs, 49, "24", "120", LampColour::Green},
                     {BitGroup::Relays, 1024, "-1", "-1024", LampColour::Orange},
                     {BitGroup::MbkBits, 100, "70000", "79900", LampColour::Orange},
                     {BitGroup::CuOutputs, 512, "2000", "2511", LampColour::Red},
                     {BitGroup::CuInputs, 512, "2000", "2511", LampColour::Green}};
        static const QRegularExpression shape(QStringLiteral("^(-?\\d+) \\( (-?\\d+) \\.\\. (-?\\d+) \\)$"));
        for (const auto &l : lists) {
            const QStringList titles = monitor::bankTitles(l.group);
            QCOMPARE(titles.size(), l.count);
            QCOMPARE(monitor::bankWord(titles.first()), QString::fromLatin1(l.first));
            QCOMPARE(monitor::bankWord(titles.last()), QString::fromLatin1(l.last));
            QCOMPARE(monitor::onColour(l.group), l.lit);
            const int lamps = monitor::lampCount(l.group);
            for (const QString &title : titles) {
                const QRegularExpressionMatch m = shape.match(title);
                QVERIFY2(m.hasMatch(), qPrintable(title));
                QCOMPARE(monitor::bankWord(title), m.captured(1));
                const qint64 bank = m.captured(1).toLongLong();
                const qint64 high = m.captured(2).toLongLong();
                const qint64 low = m.captured(3).toLongLong();
                QCOMPARE(monitor::bitNumber(l.group, bank, lamps - 1), high);
                QCOMPARE(monitor::bitNumber(l.group, bank, 0), low);
                QCOMPARE(high < low, l.group == BitGroup::Relays);
            }
        }
    }

    // `first` is the number of lamp 0 (relays count down, all others up); `lamps` one
    // character per lamp, lamp 0 first. An empty `value` means the reply changes nothing.
    void bitDisplay_data()
    {
        QTest::addColumn<BitGroup>("group");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("bank");
        QTest::addColumn<qint64>("first");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("lamps");

        const auto row = [](const char *name, BitGroup g, const char *reply, const char *bank,
                            qint64 first = 0, const char *value = "", const char *lamps = "") {
            QTest::newRow(name) << g << QString::fromUtf8(reply) << QString::fromLatin1(bank) << first
                                << QString::fromLatin1(value) << QString::fromLatin1(lamps);
        };
        using G = BitGroup;
        row("outputs bank 0", G::Outputs, "\r\n 5\r\n#", "0", 0, "&H05", "10100000");
        row("relays bank -1", G::Relays, "128", "-1", -1, "&H80", "00000001");
        row("mbk word all set", G::MbkBits, "65535", "70100", 70100, "&HFFFF", "1111111111111111");
        row("cu outputs bank 2001", G::CuOutputs, "0", "2001", 2008, "&H00", "00000000");
        row("only the first line counts", G::Outputs, "7\r\n99\r\n#", "1", 8, "&H07", "11100000");
        row("negative value shows 32 bits", G::Outputs, "-1", "0", 0, "&HFFFFFFFF", "11111111");
        row("wider than the format", G::Outputs, "256", "0", 0, "&H100", "00000000");
        row("two numbers", G::Outputs, "12 34", "0");
        row("empty after time-out", G::Inputs, "", "24");
        row("error text", G::Relays, "\r\n\t構文エラー (Syntax Error)\r\n#", "-1");
        row("bank not a number", G::Outputs, "5", "x");
    }

    void bitDisplay()
    {
        QFETCH(BitGroup, group);
        QFETCH(QString, reply);
        QFETCH(QString, bank);
        QFETCH(qint64, first);
        QFETCH(QString, value);
        QFETCH(QString, lamps);

        const std::optional<monitor::BitDisplay> d = monitor::bitDisplay(group, reply, bank);
        QCOMPARE(d.has_value(), !value.isEmpty());
        if (!d)
            return;
        QStringList numbers;
        QString lit;
        for (int k = 0; k < monitor::lampCount(group); ++k) {
            numbers << QString::number(first + (group == BitGroup::Relays ? -k : k));
            lit += monitor::lampOn(d->bits, k) ? QLatin1Char('1') : QLatin1Char('0');
        }
        QCOMPARE(d->numbers, numbers);
        QCOMPARE(d->value, value);
        QCOMPARE(lit, lamps);
    }

    // `expected` is the LMT and HPT words ("-" when their lamps stay), then, when
    // the reply gives values, positions, register text and counters after "|".
    void axisReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("expected");

        const auto row = [](const char *name, const char *reply, const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(reply) << QString::fromLatin1(expected);
        };
        row("register above 32 bits", "\r\n 0 0 0 0 0 0 4294967297 0 0 0 0\r\n#",
            "0 0|0,0,0,0|00000001|0,0,0,0");
        row("continued after CR LF blank", "\r\n 1024 16384 1000000 -1000000 7 8 \r\n 9 11 12 13 14\r\n#",
            "1024 16384|1000000,-1000000,7,8|00000009|11,12,13,14");
        row("extra fields, positions kept as text", "\r\n 4 64 +1 x 3 4 5 6 y 8 9 10\r\n#",
            "4 64|+1,x,3,4|00000005|6,y,8,9");
        row("too few fields", "\r\n 4 64 10", "4 64");
        // Cut short by a failed wait: a number not closed by a blank or a line end may be cut.
        row("cut inside the last counter", "\r\n 1 2 3 4 5 6 7 8 9 10 -80", "1 2");
        row("cut after a line end", "\r\n 1 2 3 4 5 6 7 8 9 10 11\r\n", "1 2|3,4,5,6|00000007|8,9,10,11");
        row("cut inside the first word", "\r\n 4", "- -");
        row("register not decimal", "\r\n 4 64 1 2 3 4 &HFF 6 7 8 9\r\n#", "4 64");
        row("signal word not decimal", "\r\n &H4 64 1 2 3 4 5 6 7 8 9\r\n#", "- 64|1,2,3,4|00000005|6,7,8,9");
        row("double blank makes an empty field", "\r\n 4  64 1 2 3 4 5 6 7 8\r\n#",
            "4 -|64,1,2,3|00000004|5,6,7,8");
        row("error text", "\r\n\tボードがありません (No board)\r\n#", "- -");
    }

    void axisReply()
    {
        QFETCH(QString, reply);
        QFETCH(QString, expected);

        const monitor::AxisReading r = monitor::parseAxisReply(reply);
        const auto word = [](const std::optional<qint64> &w) {
            return w ? QString::number(*w) : QStringLiteral("-");
        };
        const auto join = [](const std::array<QString, 4> &a) {
            return QStringList{a[0], a[1], a[2], a[3]}.join(QLatin1Char(','));
        };
        QString got = word(r.lmt) + QLatin1Char(' ') + word(r.hpt);
        if (r.hasValues)
            got += QLatin1Char('|') + join(r.positions) + QLatin1Char('|') + r.registerText +
                   QLatin1Char('|') + join(r.counters);
        QCOMPARE(got, expected);
    }

    // Ticks stay on the 300 ms grid of their first due time, however long one ran.
    void tickGridAndBoardSelection()
    {
        QCOMPARE(monitor::nextTickDue(300, 305), qint64(600));
        QCOMPARE(monitor::nextTickDue(300, 299), qint64(600));   // the timer fired a little early
        QCOMPARE(monitor::nextTickDue(300, 600), qint64(900));   // ended on a grid point
        QCOMPARE(monitor::nextTickDue(300, 1250), qint64(1500)); // ran over two due times
        QCOMPARE(monitor::nextTickDue(0, 0), qint64(300));
        // A board is refused by any text; the simulator's own refusal is shown in the polling test.
        QVERIFY(!monitor::boardRefused(QString()));
        QVERIFY(monitor::boardRefused(QStringLiteral("x\ty")));
        QCOMPARE(monitor::mpgRefusalText(QStringLiteral("5"), QStringLiteral("\r\n\tA\r\n#\r\n\tB\r\n#")),
                 QStringLiteral("MPG 5\r\n\tA\r\n\tB"));
        // The board popup offers no board and the eighteen boards 0 to 17.
        const QStringList boards = monitor::boardTitles();
        QVERIFY2(boards.size() == 19 && boards.first() == "None" && boards.at(1) == "0" &&
                     boards.last() == "17",
                 qPrintable(boards.join(u' ')));
    }
};

QTEST_GUILESS_MAIN(TestMonitorRules)
#include "test_monitorrules.moc"
