// The monitor's rules without a window: bank lists and bit numbering, bit
// replies, forcing commands, the axis query and its reply, and the small
// rules of the polling engine.
#include "monitor/axissignals.h"
#include "monitor/banks.h"
#include "monitor/bits.h"
#include "monitor/polling.h"

#include <QRegularExpression>
#include <QtTest>

using monitor::BitGroup;
using monitor::ForceAction;
using monitor::ForceTarget;

Q_DECLARE_METATYPE(monitor::BitGroup)
Q_DECLARE_METATYPE(monitor::ForceAction)
Q_DECLARE_METATYPE(monitor::LampColour)

namespace {
// Lamp k lit as one character per lamp, lamp 0 first: "10100000".
QString lampPattern(qint64 bits, int count)
{
    QString s;
    for (int k = 0; k < count; ++k)
        s += monitor::lampOn(bits, k) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

QString numbersFrom(qint64 first, int count, int step)
{
    QStringList out;
    for (int k = 0; k < count; ++k)
        out << QString::number(first + step * k);
    return out.join(QLatin1Char(','));
}
} // namespace

class TestMonitorRules : public QObject
{
    Q_OBJECT

private slots:
    void bankGroups_data();
    void bankGroups();
    void titlesAgreeWithNumbering_data();
    void titlesAgreeWithNumbering();
    void bitDisplay_data();
    void bitDisplay();
    void forceTargets_data();
    void forceTargets();
    void forcingFollowsDisplayedBank_data();
    void forcingFollowsDisplayedBank();
    void axisQuery();
    void axisReply_data();
    void axisReply();
    void signalLamps_data();
    void signalLamps();
    void starSequence();
    void tickGrid_data();
    void tickGrid();
    void timeMarker_data();
    void timeMarker();
    void boardSelection();
};

void TestMonitorRules::bankGroups_data()
{
    QTest::addColumn<BitGroup>("group");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("firstQuery");
    QTest::addColumn<int>("lamps");
    QTest::addColumn<monitor::LampColour>("colour");

    using C = monitor::LampColour;
    QTest::newRow("outputs") << BitGroup::Outputs << 49 << "0 ( 7 .. 0 )"
                             << "96 ( 775 .. 768 )"
                             << "PR IN(0)" << 8 << C::Red;
    QTest::newRow("inputs") << BitGroup::Inputs << 49 << "24 ( 199 .. 192 )"
                            << "120 ( 967 .. 960 )"
                            << "PR IN(24)" << 8 << C::Green;
    QTest::newRow("relays") << BitGroup::Relays << 1024 << "-1 ( -8 .. -1 )"
                            << "-1024 ( -8192 .. -8185 )"
                            << "PR IN(-1)" << 8 << C::Orange;
    QTest::newRow("mbk bits") << BitGroup::MbkBits << 100 << "70000 ( 70015 .. 70000 )"
                              << "79900 ( 79915 .. 79900 )"
                              << "PR IN(70000~Wrd)" << 16 << C::Orange;
    QTest::newRow("cu outputs") << BitGroup::CuOutputs << 512 << "2000 ( 2007 .. 2000 )"
                                << "2511 ( 6095 .. 6088 )"
                                << "PR IN(2000)" << 8 << C::Red;
    QTest::newRow("cu inputs") << BitGroup::CuInputs << 512 << "2000 ( 2007 .. 2000 )"
                               << "2511 ( 6095 .. 6088 )"
                               << "PR IN(2000)" << 8 << C::Green;
}

void TestMonitorRules::bankGroups()
{
    QFETCH(BitGroup, group);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, firstQuery);
    QFETCH(int, lamps);
    QFETCH(monitor::LampColour, colour);

    const QStringList titles = monitor::bankTitles(group);
    QCOMPARE(titles.size(), count);
    QCOMPARE(titles.first(), first);
    QCOMPARE(titles.last(), last);
    QStringList unique = titles;
    QCOMPARE(unique.removeDuplicates(), 0);
    QCOMPARE(monitor::bitQuery(monitor::bankWord(titles.first()), monitor::bankCast(group)), firstQuery);
    QCOMPARE(monitor::lampCount(group), lamps);
    QCOMPARE(monitor::onColour(group), colour);
}

void TestMonitorRules::titlesAgreeWithNumbering_data()
{
    QTest::addColumn<BitGroup>("group");
    QTest::newRow("outputs") << BitGroup::Outputs;
    QTest::newRow("inputs") << BitGroup::Inputs;
    QTest::newRow("relays") << BitGroup::Relays;
    QTest::newRow("mbk bits") << BitGroup::MbkBits;
    QTest::newRow("cu outputs") << BitGroup::CuOutputs;
    QTest::newRow("cu inputs") << BitGroup::CuInputs;
}

// Every popup title names the bits its last and its first lamp will be
// labelled with. Only the relay lamps count downwards (lamp 0 is the highest
// relay number of the byte), so only there the first number is the smaller.
void TestMonitorRules::titlesAgreeWithNumbering()
{
    QFETCH(BitGroup, group);
    static const QRegularExpression shape(QStringLiteral("^(-?\\d+) \\( (-?\\d+) \\.\\. (-?\\d+) \\)$"));
    const int last = monitor::lampCount(group) - 1;
    for (const QString &title : monitor::bankTitles(group)) {
        const QRegularExpressionMatch m = shape.match(title);
        QVERIFY2(m.hasMatch(), qPrintable(title));
        QCOMPARE(monitor::bankWord(title), m.captured(1));
        const qint64 bank = m.captured(1).toLongLong();
        const qint64 high = m.captured(2).toLongLong();
        const qint64 low = m.captured(3).toLongLong();
        QCOMPARE(monitor::bitNumber(group, bank, last), high);
        QCOMPARE(monitor::bitNumber(group, bank, 0), low);
        QCOMPARE(high < low, group == BitGroup::Relays);
    }
}

void TestMonitorRules::bitDisplay_data()
{
    QTest::addColumn<BitGroup>("group");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("bank");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("numbers");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("lamps");

    QTest::newRow("outputs bank 0 reply 5") << BitGroup::Outputs << "\r\n 5\r\n#"
                                            << "0" << true << numbersFrom(0, 8, 1) << "&H05"
                                            << "10100000";
    QTest::newRow("relays bank -1 reply 128") << BitGroup::Relays << "128"
                                              << "-1" << true << numbersFrom(-1, 8, -1) << "&H80"
                                              << "00000001";
    QTest::newRow("mbk word 70100 all set") << BitGroup::MbkBits << "65535"
                                            << "70100" << true << numbersFrom(70100, 16, 1) << "&HFFFF"
                                            << "1111111111111111";
    QTest::newRow("mbk word bit 15 only") << BitGroup::MbkBits << "32768"
                                          << "70000" << true << numbersFrom(70000, 16, 1) << "&H8000"
                                          << "0000000000000001";
    QTest::newRow("cu outputs bank 2001 reply 0") << BitGroup::CuOutputs << "0"
                                                  << "2001" << true << numbersFrom(2008, 8, 1) << "&H00"
                                                  << "00000000";
    QTest::newRow("cu inputs last bank") << BitGroup::CuInputs << "1"
                                         << "2511" << true << numbersFrom(6088, 8, 1) << "&H01"
                                         << "10000000";
    QTest::newRow("inputs bank 120") << BitGroup::Inputs << "3"
                                     << "120" << true << numbersFrom(960, 8, 1) << "&H03"
                                     << "11000000";
    QTest::newRow("blanks around, CR LF after") << BitGroup::Outputs << "  12 \r\n"
                                                << "0" << true << numbersFrom(0, 8, 1) << "&H0C"
                                                << "00110000";
    QTest::newRow("only the first line counts") << BitGroup::Outputs << "7\r\n99\r\n#"
                                                << "1" << true << numbersFrom(8, 8, 1) << "&H07"
                                                << "11100000";
    QTest::newRow("explicit plus sign") << BitGroup::Inputs << "+2"
                                        << "24" << true << numbersFrom(192, 8, 1) << "&H02"
                                        << "01000000";
    QTest::newRow("negative value shows 32 bits") << BitGroup::Outputs << "-1"
                                                  << "0" << true << numbersFrom(0, 8, 1) << "&HFFFFFFFF"
                                                  << "11111111";
    QTest::newRow("wider than the format") << BitGroup::Outputs << "256"
                                           << "0" << true << numbersFrom(0, 8, 1) << "&H100"
                                           << "00000000";

    const QString none;
    QTest::newRow("two numbers") << BitGroup::Outputs << "12 34"
                                 << "0" << false << none << none << none;
    QTest::newRow("hexadecimal") << BitGroup::Outputs << "&H0C"
                                 << "0" << false << none << none << none;
    QTest::newRow("empty after time-out") << BitGroup::Inputs << ""
                                          << "24" << false << none << none << none;
    QTest::newRow("prompt only") << BitGroup::Inputs << "\r\n#"
                                 << "24" << false << none << none << none;
    QTest::newRow("error text") << BitGroup::Relays << "\r\n\t構文エラー (Syntax Error)\r\n#"
                                << "-1" << false << none << none << none;
    QTest::newRow("sign alone") << BitGroup::Outputs << "-"
                                << "0" << false << none << none << none;
    QTest::newRow("bank not a number") << BitGroup::Outputs << "5"
                                       << "x" << false << none << none << none;
}

void TestMonitorRules::bitDisplay()
{
    QFETCH(BitGroup, group);
    QFETCH(QString, reply);
    QFETCH(QString, bank);
    QFETCH(bool, shown);
    QFETCH(QString, numbers);
    QFETCH(QString, value);
    QFETCH(QString, lamps);

    const std::optional<monitor::BitDisplay> d = monitor::bitDisplay(group, reply, bank);
    QCOMPARE(d.has_value(), shown);
    if (!shown)
        return;
    QCOMPARE(d->numbers.join(QLatin1Char(',')), numbers);
    QCOMPARE(d->value, value);
    QCOMPARE(lampPattern(d->bits, monitor::lampCount(group)), lamps);
}

void TestMonitorRules::forceTargets_data()
{
    QTest::addColumn<ForceAction>("action");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("expected"); // with the operand "N"
    QTest::addColumn<BitGroup>("group");   // only for ON / OFF rows
    QTest::addColumn<int>("label");

    const auto onOff = [](const char *name, ForceAction a, int tag, const char *cmd, BitGroup g, int label) {
        QTest::newRow(name) << a << tag << QString::fromLatin1(cmd) << g << label;
    };
    const auto other = [](const char *name, ForceAction a, int tag, const char *cmd) {
        QTest::newRow(name) << a << tag << QString::fromLatin1(cmd) << BitGroup::Outputs << -1;
    };
    using A = ForceAction;
    onOff("out on 0", A::OutOnOff, 0, "ON N", BitGroup::Outputs, 0);
    onOff("out on 7", A::OutOnOff, 7, "ON N", BitGroup::Outputs, 7);
    onOff("out off 8", A::OutOnOff, 8, "OFF N", BitGroup::Outputs, 0);
    onOff("out off 15", A::OutOnOff, 15, "OFF N", BitGroup::Outputs, 7);
    other("out gap 16", A::OutOnOff, 16, "");
    other("out gap 19", A::OutOnOff, 19, "");
    onOff("relay on 20", A::OutOnOff, 20, "ON N", BitGroup::Relays, 0);
    onOff("relay on 27", A::OutOnOff, 27, "ON N", BitGroup::Relays, 7);
    onOff("relay off 28", A::OutOnOff, 28, "OFF N", BitGroup::Relays, 0);
    onOff("relay off 35", A::OutOnOff, 35, "OFF N", BitGroup::Relays, 7);
    other("out gap 36", A::OutOnOff, 36, "");
    other("out gap 39", A::OutOnOff, 39, "");
    other("clear outputs", A::OutOnOff, 40, "CLR_OUTP 1");
    other("clear relays", A::OutOnOff, 41, "CLR_OUTP 8");
    other("out 42", A::OutOnOff, 42, "");
    other("out negative", A::OutOnOff, -1, "");
    onOff("mbk on 0", A::MbkIoOnOff, 0, "ON N", BitGroup::MbkBits, 0);
    onOff("mbk on 15", A::MbkIoOnOff, 15, "ON N", BitGroup::MbkBits, 15);
    onOff("mbk off 16", A::MbkIoOnOff, 16, "OFF N", BitGroup::MbkBits, 0);
    onOff("mbk off 31", A::MbkIoOnOff, 31, "OFF N", BitGroup::MbkBits, 15);
    other("mbk gap 32", A::MbkIoOnOff, 32, "");
    other("mbk clear", A::MbkIoOnOff, 40, "CLR_OUTP 4");
    other("mbk 41", A::MbkIoOnOff, 41, "");
    onOff("cu on 0", A::CuOnOff, 0, "ON N", BitGroup::CuOutputs, 0);
    onOff("cu on 7", A::CuOnOff, 7, "ON N", BitGroup::CuOutputs, 7);
    onOff("cu off 8", A::CuOnOff, 8, "OFF N", BitGroup::CuOutputs, 0);
    onOff("cu off 15", A::CuOnOff, 15, "OFF N", BitGroup::CuOutputs, 7);
    other("cu gap 16", A::CuOnOff, 16, "");
    other("cu gap 20", A::CuOnOff, 20, "");
    other("cu clear", A::CuOnOff, 40, "CLR_OUTP 2");
    other("cu 41", A::CuOnOff, 41, "");
    other("hout 0", A::PgHout, 0, "H_ON 0");
    other("hout 1", A::PgHout, 1, "H_OFF 0");
    other("hout 2", A::PgHout, 2, "H_ON 1");
    other("hout 3", A::PgHout, 3, "H_OFF 1");
    other("hout 4", A::PgHout, 4, "H_ON 2");
    other("hout 5", A::PgHout, 5, "H_OFF 2");
    other("hout 6", A::PgHout, 6, "H_ON 3");
    other("hout 7", A::PgHout, 7, "H_OFF 3");
    other("hout 8", A::PgHout, 8, "");
    other("hout 40", A::PgHout, 40, "");
    other("hout negative", A::PgHout, -1, "");
}

void TestMonitorRules::forceTargets()
{
    QFETCH(ForceAction, action);
    QFETCH(int, tag);
    QFETCH(QString, expected);
    QFETCH(BitGroup, group);
    QFETCH(int, label);

    const ForceTarget t = monitor::forceTarget(action, tag);
    QCOMPARE(monitor::forceCommand(t, QStringLiteral("N")), expected);
    const bool onOff = t.kind == ForceTarget::Kind::On || t.kind == ForceTarget::Kind::Off;
    QCOMPARE(onOff, label >= 0);
    if (onOff) {
        QCOMPARE(t.group, group);
        QCOMPARE(t.label, label);
    }
}

void TestMonitorRules::forcingFollowsDisplayedBank_data()
{
    QTest::addColumn<ForceAction>("action");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("bank");
    QTest::addColumn<QString>("expected");

    QTest::newRow("output bank 2 on") << ForceAction::OutOnOff << 3 << "2"
                                      << "ON 19";
    QTest::newRow("output bank 2 off") << ForceAction::OutOnOff << 11 << "2"
                                       << "OFF 19";
    QTest::newRow("relay bank -1 on") << ForceAction::OutOnOff << 20 << "-1"
                                      << "ON -1";
    QTest::newRow("relay bank -1 off") << ForceAction::OutOnOff << 35 << "-1"
                                       << "OFF -8";
    QTest::newRow("relay bank -3 on") << ForceAction::OutOnOff << 27 << "-3"
                                      << "ON -24";
    QTest::newRow("mbk bank 70000 off") << ForceAction::MbkIoOnOff << 31 << "70000"
                                        << "OFF 70015";
    QTest::newRow("mbk bank 79900 on") << ForceAction::MbkIoOnOff << 0 << "79900"
                                       << "ON 79900";
    QTest::newRow("cu bank 2001 off") << ForceAction::CuOnOff << 8 << "2001"
                                      << "OFF 2008";
    QTest::newRow("cu bank 2511 on") << ForceAction::CuOnOff << 7 << "2511"
                                     << "ON 6095";
}

// The operand is whatever the bit page last labelled the lamp with.
void TestMonitorRules::forcingFollowsDisplayedBank()
{
    QFETCH(ForceAction, action);
    QFETCH(int, tag);
    QFETCH(QString, bank);
    QFETCH(QString, expected);

    const ForceTarget t = monitor::forceTarget(action, tag);
    const std::optional<monitor::BitDisplay> d = monitor::bitDisplay(t.group, QStringLiteral("0"), bank);
    QVERIFY(d.has_value());
    QCOMPARE(monitor::forceCommand(t, d->numbers.at(t.label)), expected);
}

void TestMonitorRules::axisQuery()
{
    QCOMPARE(monitor::axisQuery(QStringLiteral("RR(ALL_A)")),
             QStringLiteral("PR LMT(0) HPT(0) P(0) RR(ALL_A) X(-1) Y(-1) U(-1) Z(-1)"));
    QCOMPARE(monitor::axisQuery(QStringLiteral("RR3(Z_A,1)")),
             QStringLiteral("PR LMT(0) HPT(0) P(0) RR3(Z_A,1) X(-1) Y(-1) U(-1) Z(-1)"));
}

void TestMonitorRules::axisReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("lmt"); // "-" when the lamps stay
    QTest::addColumn<QString>("hpt");
    QTest::addColumn<bool>("values");
    QTest::addColumn<QString>("positions");
    QTest::addColumn<QString>("reg");
    QTest::addColumn<QString>("counters");

    QTest::newRow("one line") << "\r\n 4 64 10 -20 30 40 255 1 2 3 4\r\n#"
                              << "4"
                              << "64" << true << "10,-20,30,40"
                              << "000000FF"
                              << "1,2,3,4";
    QTest::newRow("register -1") << "\r\n 0 0 0 0 0 0 -1 0 0 0 0\r\n#"
                                 << "0"
                                 << "0" << true << "0,0,0,0"
                                 << "FFFFFFFF"
                                 << "0,0,0,0";
    QTest::newRow("register above 32 bits") << "\r\n 0 0 0 0 0 0 4294967297 0 0 0 0\r\n#"
                                            << "0"
                                            << "0" << true << "0,0,0,0"
                                            << "00000001"
                                            << "0,0,0,0";
    QTest::newRow("continued after CR LF blank")
        << "\r\n 1024 16384 1000000 -1000000 7 8 \r\n 9 11 12 13 14\r\n#"
        << "1024"
        << "16384" << true << "1000000,-1000000,7,8"
        << "00000009"
        << "11,12,13,14";
    QTest::newRow("extra fields ignored") << "\r\n 4 64 1 2 3 4 5 6 7 8 9 10\r\n#"
                                          << "4"
                                          << "64" << true << "1,2,3,4"
                                          << "00000005"
                                          << "6,7,8,9";
    QTest::newRow("positions kept as text") << "\r\n 4 64 +1 x 3 4 5 6 y 8 9\r\n#"
                                            << "4"
                                            << "64" << true << "+1,x,3,4"
                                            << "00000005"
                                            << "6,y,8,9";
    QTest::newRow("too few fields") << "\r\n 4 64 10"
                                    << "4"
                                    << "64" << false << ""
                                    << ""
                                    << "";
    QTest::newRow("register not decimal") << "\r\n 4 64 1 2 3 4 &HFF 6 7 8 9\r\n#"
                                          << "4"
                                          << "64" << false << ""
                                          << ""
                                          << "";
    QTest::newRow("signal word not decimal") << "\r\n &H4 64 1 2 3 4 5 6 7 8 9\r\n#"
                                             << "-"
                                             << "64" << true << "1,2,3,4"
                                             << "00000005"
                                             << "6,7,8,9";
    QTest::newRow("double blank makes an empty field") << "\r\n 4  64 1 2 3 4 5 6 7 8\r\n#"
                                                       << "4"
                                                       << "-" << true << "64,1,2,3"
                                                       << "00000004"
                                                       << "5,6,7,8";
    QTest::newRow("error text") << "\r\n\tボードがありません (No board)\r\n#"
                                << "-"
                                << "-" << false << ""
                                << ""
                                << "";
    QTest::newRow("nothing arrived") << ""
                                     << "-"
                                     << "-" << false << ""
                                     << ""
                                     << "";
}

void TestMonitorRules::axisReply()
{
    QFETCH(QString, reply);
    QFETCH(QString, lmt);
    QFETCH(QString, hpt);
    QFETCH(bool, values);
    QFETCH(QString, positions);
    QFETCH(QString, reg);
    QFETCH(QString, counters);

    const monitor::AxisReading r = monitor::parseAxisReply(reply);
    const auto word = [](const std::optional<qint64> &w) {
        return w ? QString::number(*w) : QStringLiteral("-");
    };
    QCOMPARE(word(r.lmt), lmt);
    QCOMPARE(word(r.hpt), hpt);
    QCOMPARE(r.hasValues, values);
    if (!values)
        return;
    const auto join = [](const std::array<QString, 4> &a) {
        return QStringList{a[0], a[1], a[2], a[3]}.join(QLatin1Char(','));
    };
    QCOMPARE(join(r.positions), positions);
    QCOMPARE(r.registerText, reg);
    QCOMPARE(join(r.counters), counters);
}

void TestMonitorRules::signalLamps_data()
{
    QTest::addColumn<bool>("isLmt");
    QTest::addColumn<qint64>("word");
    QTest::addColumn<QString>("lit");

    QTest::newRow("lmt 4") << true << qint64(4) << "XPlmt";
    QTest::newRow("lmt 1024") << true << qint64(1024) << "YPlmt";
    QTest::newRow("lmt 2^18") << true << (qint64(1) << 18) << "ZPlmt";
    QTest::newRow("lmt 2^26") << true << (qint64(1) << 26) << "UPlmt";
    QTest::newRow("lmt minus limit X") << true << qint64(8) << "XMlmt";
    QTest::newRow("lmt alarm U") << true << (qint64(1) << 28) << "UAlm";
    QTest::newRow("lmt unused bits") << true << qint64(0xE3E3E3E3) << "";
    QTest::newRow("lmt all") << true << qint64(-1)
                             << "XPlmt XMlmt XAlm YPlmt YMlmt YAlm ZPlmt ZMlmt ZAlm UPlmt UMlmt UAlm";
    QTest::newRow("hpt 64") << false << qint64(64) << "XInp";
    QTest::newRow("hpt 2^30") << false << (qint64(1) << 30) << "UInp";
    QTest::newRow("hpt in0 X") << false << qint64(1) << "XIn0";
    QTest::newRow("hpt in3 Y") << false << (qint64(1) << 11) << "YIn3";
    QTest::newRow("hpt in1 Z") << false << (qint64(1) << 17) << "ZIn1";
    QTest::newRow("hpt unused bits") << false << qint64(0xB4B4B4B4) << "";
}

void TestMonitorRules::signalLamps()
{
    QFETCH(bool, isLmt);
    QFETCH(qint64, word);
    QFETCH(QString, lit);

    static const QStringList lmtNames = {QStringLiteral("Plmt"), QStringLiteral("Mlmt"),
                                         QStringLiteral("Alm")};
    static const QStringList hptNames = {QStringLiteral("In0"), QStringLiteral("In1"), QStringLiteral("In3"),
                                         QStringLiteral("Inp")};
    const QString axes = QStringLiteral("XYZU");
    QStringList on;
    for (int a = 0; a < 4; ++a) {
        if (isLmt) {
            for (int c = 0; c < 3; ++c)
                if (monitor::signalOn(word, a, monitor::kLmtBits[static_cast<size_t>(c)]))
                    on << axes.at(a) + lmtNames.at(c);
        } else {
            for (int c = 0; c < 4; ++c)
                if (monitor::signalOn(word, a, monitor::kHptBits[static_cast<size_t>(c)]))
                    on << axes.at(a) + hptNames.at(c);
        }
    }
    QCOMPARE(on.join(QLatin1Char(' ')), lit);
}

void TestMonitorRules::starSequence()
{
    QString seen;
    for (qint64 n = 1; n <= 12; ++n)
        seen += monitor::starBlue(n) ? QLatin1Char('B') : QLatin1Char('g');
    QCOMPARE(seen, QStringLiteral("BggBBggBBggB"));
}

void TestMonitorRules::tickGrid_data()
{
    QTest::addColumn<qint64>("due");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<qint64>("next");

    QTest::newRow("short tick") << qint64(300) << qint64(305) << qint64(600);
    QTest::newRow("timer a little early") << qint64(300) << qint64(299) << qint64(600);
    QTest::newRow("ends on a grid point") << qint64(300) << qint64(600) << qint64(900);
    QTest::newRow("ran over two due times") << qint64(300) << qint64(1250) << qint64(1500);
    QTest::newRow("late start") << qint64(900) << qint64(905) << qint64(1200);
    QTest::newRow("origin") << qint64(0) << qint64(0) << qint64(300);
}

void TestMonitorRules::tickGrid()
{
    QFETCH(qint64, due);
    QFETCH(qint64, now);
    QFETCH(qint64, next);
    QCOMPARE(monitor::nextTickDue(due, now), next);
}

void TestMonitorRules::timeMarker_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("marker");
    QTest::newRow("morning") << QTime(9, 5, 3) << "\r\n// 9:05:03 //";
    QTest::newRow("midnight") << QTime(0, 0, 0) << "\r\n// 0:00:00 //";
    QTest::newRow("afternoon") << QTime(13, 40, 59) << "\r\n// 13:40:59 //";
    QTest::newRow("last second") << QTime(23, 59, 59) << "\r\n// 23:59:59 //";
}

void TestMonitorRules::timeMarker()
{
    QFETCH(QTime, time);
    QFETCH(QString, marker);
    QCOMPARE(monitor::timeMarker(QDateTime(QDate(2026, 1, 2), time)), marker);
}

void TestMonitorRules::boardSelection()
{
    const QString refused = QStringLiteral("\r\n\tボードがありません (No board)\r\n#");
    QCOMPARE(monitor::mpgCommand(QStringLiteral("3")), QStringLiteral("MPG 3"));
    QVERIFY(!monitor::boardRefused(QStringLiteral("\r\n#")));
    QVERIFY(!monitor::boardRefused(QString()));
    QVERIFY(monitor::boardRefused(refused));
    QVERIFY(monitor::boardRefused(QStringLiteral("x\ty")));
    QCOMPARE(monitor::mpgRefusalText(QStringLiteral("5"), refused),
             QStringLiteral("MPG 5\r\n\tボードがありません (No board)"));
    QCOMPARE(monitor::mpgRefusalText(QStringLiteral("5"), QStringLiteral("\r\n\tA\r\n#\r\n\tB\r\n#")),
             QStringLiteral("MPG 5\r\n\tA\r\n\tB"));
}

QTEST_GUILESS_MAIN(TestMonitorRules)
#include "test_monitorrules.moc"
