// The data panels' rules without a screen: reply cleaning, the decimal,
// hexadecimal and styled forms of a value, variable names and the commands
// built from them, MBK row layouts and the task area.
#include "panels/mbk.h"
#include "panels/replies.h"
#include "panels/tasks.h"
#include "panels/variables.h"

#include <QtTest>
#include <limits>

namespace {

// "G:" grey run / "B:" black run, runs joined by "|".
QString encode(const panels::StyledPieces &pieces)
{
    QStringList out;
    for (const panels::StyledPiece &p : pieces)
        out << (p.grey ? QStringLiteral("G:") : QStringLiteral("B:")) + p.text;
    return out.join(QLatin1Char('|'));
}

QString joined(const std::optional<std::array<QString, 8>> &rows)
{
    if (!rows)
        return QStringLiteral("<refused>");
    return QStringList(rows->begin(), rows->end()).join(QLatin1Char(','));
}

QString opt(const std::optional<QString> &s)
{
    return s ? *s : QStringLiteral("<none>");
}

// Most tables map one text to another.
void textColumns(const char *in, const char *out)
{
    QTest::addColumn<QString>(in);
    QTest::addColumn<QString>(out);
}

enum TextRule { Numeric, String, Hex, Bytes };

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();

} // namespace

class FormattersTest : public QObject
{
    Q_OBJECT

private slots:
    // One text in, one text out: reply cleaning (a string reply keeps what a
    // numeric one loses, apart from its frame) and the two hexadecimal forms.
    void textRules_data()
    {
        QTest::addColumn<int>("rule");
        textColumns("in", "out");
        QTest::newRow("two values keep their blank") << int(Numeric) << "\r\n 12 -3\r\n#" << "12 -3";
        QTest::newRow("trailing blank stays") << int(Numeric) << "\r\n 5 \r\n#" << "5 ";
        QTest::newRow("continuation line joins") << int(Numeric) << "\r\n 12\r\n 34\r\n#" << "1234";
        QTest::newRow("every # goes") << int(Numeric) << "\r\n 1#2\r\n#" << "12";
        QTest::newRow("other line breaks trimmed")
            << int(Numeric) << QString::fromUtf8("\n\r\u2028") + "7\r\n\u0085" << "7";
        QTest::newRow("error text kept") << int(Numeric) << "\r\n\tSyntax Error\r\n#" << "\tSyntax Error";
        QTest::newRow("prompt only") << int(Numeric) << "#" << "";
        QTest::newRow("empty string") << int(String) << "\r\n \r\n#" << "";
        QTest::newRow("control characters and # stay") << int(String) << "\r\n a\tb\rc#d\r\n#" << "a\tb\rc#d";
        QTest::newRow("line break of the string stays") << int(String) << "\r\n a\r\nb\r\n#" << "a\r\nb";
        QTest::newRow("lone LF prompt") << int(String) << "\r\n x\n#" << "x";
        QTest::newRow("leading blank of the string stays") << int(String) << "\r\n  ab\r\n#" << " ab";
        QTest::newRow("hex -1") << int(Hex) << "-1" << "&HFFFFFFFF ";
        QTest::newRow("hex two tokens") << int(Hex) << "12 -3" << "&H0000000C &HFFFFFFFD ";
        QTest::newRow("hex low 32 bits") << int(Hex) << "4294967297" << "&H00000001 ";
        QTest::newRow("hex plus sign") << int(Hex) << "+7" << "&H00000007 ";
        QTest::newRow("hex 64-bit limit") << int(Hex) << "9223372036854775807" << "&HFFFFFFFF ";
        QTest::newRow("hex beyond 64 bits") << int(Hex) << "9223372036854775808" << "";
        QTest::newRow("hex double blank") << int(Hex) << "12  3" << "";
        QTest::newRow("hex trailing blank") << int(Hex) << "12 " << "";
        QTest::newRow("hex bad token drops all") << int(Hex) << "1 2 x" << "";
        QTest::newRow("hex empty") << int(Hex) << "" << "";
        QTest::newRow("bytes of control characters") << int(Bytes) << "a\t\r\n" << "61 09 0D 0A ";
        QTest::newRow("bytes of double byte") << int(Bytes) << QString::fromUtf8("日") << "93 FA ";
        QTest::newRow("bytes of backslash") << int(Bytes) << "\\" << "5C ";
        QTest::newRow("bytes of half-width katakana") << int(Bytes) << QString::fromUtf8("ｱ") << "B1 ";
        QTest::newRow("bytes of unmappable") << int(Bytes) << QString::fromUtf8("a\uFFFDb") << "61 3F 62 ";
    }
    void textRules()
    {
        QFETCH(int, rule);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QString (*const apply[])(const QString &) = {panels::stringmodify, panels::stringmodify_string,
                                                     panels::hexTokens, panels::stringHex};
        QCOMPARE(apply[rule](in), out);
    }

    void styled_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("runs");
        QTest::addColumn<QString>("plain");
        QTest::newRow("tab and CR") << "a\tb\rc" << "B:a|G:\\t|B:b|G:\\r|B:c" << "a\\tb\\rc";
        QTest::newRow("CR LF as one") << "x\r\ny" << "B:x|G:\\r\\n|B:y" << "x\\r\\ny";
        QTest::newRow("CR then CR LF") << "\r\r\n" << "G:\\r\\r\\n" << "\\r\\r\\n";
        QTest::newRow("LF then CR is no pair") << "\n\r" << "G:\\n\\r" << "\\n\\r";
        QTest::newRow("placeholders") << QString::fromUtf8("\x01\x08\x0b\x0c\x0e\x1f")
                                      << QString::fromUtf8("G:\u25A1\u25A1\u25A1\u25A1\u25A1\u25A1")
                                      << QString::fromUtf8("\x01\x08\x0b\x0c\x0e\x1f");
        QTest::newRow("NUL is black") << QString(QChar(0)) << QStringLiteral("B:") + QChar(0) << QString(QChar(0));
        QTest::newRow("DEL, space, Japanese are black")
            << QString::fromUtf8("\x7f 日本") << QString::fromUtf8("B:\x7f 日本") << QString::fromUtf8("\x7f 日本");
        QTest::newRow("backslash stays itself") << "a\\t" << "B:a\\t" << "a\\t";
    }
    void styled()
    {
        QFETCH(QString, value);
        QFETCH(QString, runs);
        QFETCH(QString, plain);
        QCOMPARE(encode(panels::styleString(value)), runs);
        QCOMPARE(panels::escapeString(value), plain);
    }

    void variableDisplay_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("runs");
        QTest::newRow("decimal") << "\r\n 25\r\n#" << "A" << false << "25" << "";
        QTest::newRow("-1 hexadecimal") << "\r\n -1\r\n#" << "A" << true << "&HFFFFFFFF " << "";
        QTest::newRow("error, hexadecimal") << "\r\n\tSyntax Error\r\n#" << "A" << true << "" << "";
        QTest::newRow("array element") << "\r\n 9\r\n#" << "DATA_" << true << "&H00000009 " << "";
        QTest::newRow("string as text") << "\r\n a\tb\rc\r\n#" << "S$" << false << "a\\tb\\rc"
                                        << "B:a|G:\\t|B:b|G:\\r|B:c";
        QTest::newRow("string as bytes") << "\r\n a\tb\rc\r\n#" << "S$" << true << "61 09 62 0D 63 " << "";
        QTest::newRow("digits of a string stay text") << "\r\n 25\r\n#" << "S$" << true << "32 35 " << "";
    }
    void variableDisplay()
    {
        QFETCH(QString, reply);
        QFETCH(QString, name);
        QFETCH(bool, hex);
        QFETCH(QString, plain);
        QFETCH(QString, runs);
        const panels::VariableDisplay d = panels::formatVariable(reply, name, hex);
        QCOMPARE(d.plain, plain);
        QCOMPARE(encode(d.styled), runs);
    }

    void query_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("variname");
        QTest::newRow("numeric") << "A" << true << "PR A" << "A";
        QTest::newRow("empty") << "" << false << "PR " << "";
        QTest::newRow("array element") << "DATA_#4" << true << "PRA DATA_ 4" << "DATA_";
        QTest::newRow("array without argument") << "DATA_#" << false << "PRA DATA_ " << "DATA_";
        QTest::newRow("further pieces ignored") << "DATA_#4#9" << true << "PRA DATA_ 4" << "DATA_";
        QTest::newRow("# without _ is a plain name") << "A#1" << true << "PR A#1" << "A#1";
        QTest::newRow("array without name") << "#_#3" << false << "PRA  _" << "";
    }
    void query()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QFETCH(QString, command);
        QFETCH(QString, variname);
        const panels::VariableQuery q = panels::variableQuery(name);
        QCOMPARE(q.valid, valid);
        if (valid)
            QCOMPARE(q.command, command);
        QCOMPARE(q.variname, variname);
    }

    void assignment_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("command");
        QTest::newRow("string keeps blanks") << " S$\t" << "  a b " << "S$=\"  a b \"";
        QTest::newRow("empty string") << "S$" << "" << "S$=\"\"";
        QTest::newRow("numeric trimmed") << "A" << "\t7 " << "A=7";
        QTest::newRow("numeric empty") << "A" << "   " << "<none>";
        QTest::newRow("array element") << "DATA_#4" << " 9" << "PRA DATA_ 4 9";
        QTest::newRow("array without argument") << "DATA_#" << "9" << "<none>";
        QTest::newRow("empty name") << "" << "5" << "=5";
    }
    void assignment()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, command);
        QCOMPARE(opt(panels::assignmentCommand(name, value)), command);
    }

    void mbkLayout_data()
    {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("rows");
        using S = panels::MbkSize;
        QTest::newRow("negative Int") << qint64(-3) << int(S::Int) << "-3,-2,-1,0,1,2,3,4";
        QTest::newRow("Lng odd rows empty") << qint64(100) << int(S::Lng) << "100,,102,,104,,106,";
        QTest::newRow("no size") << qint64(0) << int(S::None) << "0,1,2,3,4,5,6,7";
        QTest::newRow("lowest") << kMin << int(S::Lng)
                                << "-9223372036854775808,,-9223372036854775806,,-9223372036854775804,,"
                                   "-9223372036854775802,";
        QTest::newRow("highest accepted") << panels::kMbkMaxStart << int(S::Wrd)
                                          << "9223372036854775800,9223372036854775801,9223372036854775802,"
                                             "9223372036854775803,9223372036854775804,9223372036854775805,"
                                             "9223372036854775806,9223372036854775807";
        QTest::newRow("one beyond") << panels::kMbkMaxStart + 1 << int(S::Lng) << "<refused>";
        QTest::newRow("maximum") << kMax << int(S::Wrd) << "<refused>";
    }
    void mbkLayout()
    {
        QFETCH(qint64, start);
        QFETCH(int, size);
        QFETCH(QString, rows);
        QCOMPARE(joined(panels::mbkRowAddresses(start, static_cast<panels::MbkSize>(size))), rows);
    }

    void mbkCommands()
    {
        using S = panels::MbkSize;
        QCOMPARE(panels::mbkReadCommand(QStringLiteral("-2"), S::Lng), QStringLiteral("PR MBK(-2~Lng)"));
        QCOMPARE(panels::mbkReadCommand(QStringLiteral("7"), S::None), QStringLiteral("PR MBK(7)"));
        QCOMPARE(opt(panels::mbkWriteCommand(QStringLiteral("5"), QStringLiteral("  &H10 "), S::Lng)),
                 QStringLiteral("MBK(5~Lng)=&H10"));
        QCOMPARE(opt(panels::mbkWriteCommand(QStringLiteral(" 5"), QStringLiteral("1"), S::Int)),
                 QStringLiteral("MBK( 5~Int)=1"));
        QCOMPARE(opt(panels::mbkWriteCommand(QStringLiteral("5"), QStringLiteral("1"), S::None)),
                 QStringLiteral("MBK(5)=1"));
        QCOMPARE(opt(panels::mbkWriteCommand(QString(), QStringLiteral("1"), S::Wrd)), QStringLiteral("<none>"));
        QCOMPARE(opt(panels::mbkWriteCommand(QStringLiteral("5"), QString(), S::Wrd)), QStringLiteral("<none>"));
    }

    void mbkDisplay_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("shown");
        QTest::newRow("255 decimal") << "\r\n 255\r\n#" << false << "255";
        QTest::newRow("255 hexadecimal, no trailing blank") << "\r\n 255\r\n#" << true << "&H000000FF";
        QTest::newRow("-1 hexadecimal") << "\r\n -1\r\n#" << true << "&HFFFFFFFF";
        QTest::newRow("error not converted") << "\r\n\tSyntax Error\r\n#" << true << "\tSyntax Error";
        QTest::newRow("two values not converted") << "\r\n 1 2\r\n#" << true << "1 2";
        QTest::newRow("empty") << "" << true << "";
    }
    void mbkDisplay()
    {
        QFETCH(QString, reply);
        QFETCH(bool, hex);
        QFETCH(QString, shown);
        QCOMPARE(panels::mbkDisplay(reply, hex), shown);
    }

    void taskAddress_data()
    {
        QTest::addColumn<qint64>("task");
        QTest::addColumn<qint64>("address");
        QTest::newRow("0") << qint64(0) << qint64(7836);
        QTest::newRow("31") << qint64(31) << qint64(7898);
        QTest::newRow("32") << qint64(32) << qint64(7772);
        QTest::newRow("-1 below the area") << qint64(-1) << qint64(7834);
        QTest::newRow("64 above the area") << qint64(64) << qint64(7836);
        QTest::newRow("largest that fits") << (kMax - 7708) / 2 << qint64(7708) + (kMax - 7708) / 2 * 2;
        QTest::newRow("too large") << kMax << qint64(-1);
        QTest::newRow("too small") << kMin << qint64(-1);
    }
    void taskAddress()
    {
        QFETCH(qint64, task);
        QFETCH(qint64, address);
        QCOMPARE(panels::taskAddress(task).value_or(-1), address);
    }

    void taskCommandsAndRows()
    {
        QCOMPARE(opt(panels::taskReadCommand(QStringLiteral("3"))), QStringLiteral("PR MBK(7842~Lng) TASK(3|256)"));
        // Text that is not a number reads address 0's entry but is sent as shown.
        QCOMPARE(opt(panels::taskReadCommand(QStringLiteral("abc"))),
                 QStringLiteral("PR MBK(7836~Lng) TASK(abc|256)"));
        QCOMPARE(opt(panels::taskReadCommand(QStringLiteral("9223372036854775807"))), QStringLiteral("<none>"));
        QCOMPARE(panels::taskAreaClearCommand(), QStringLiteral("FILL MBK(7772) 128 0"));

        QCOMPARE(joined(panels::taskRows(-4)), QStringLiteral("-4,-3,-2,-1,0,1,2,3"));
        QCOMPARE(joined(panels::taskRows(panels::kTaskMaxFirst)).section(QLatin1Char(','), 7),
                 QStringLiteral("9223372036854775807"));
        QCOMPARE(joined(panels::taskRows(panels::kTaskMaxFirst + 1)), QStringLiteral("<refused>"));
    }

    void taskReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("status");
        QTest::newRow("blanks and tabs around") << "\r\n \t12 3\t \r\n#" << "12" << "3";
        QTest::newRow("third value ignored") << "\r\n 1 2 3\r\n#" << "1" << "2";
        QTest::newRow("double blank gives an empty status") << "\r\n 12  3\r\n#" << "12" << "";
        QTest::newRow("one value") << "\r\n 12\r\n#" << "12" << "<none>";
        QTest::newRow("empty second line") << "\r\n \r\n#" << "<none>" << "<none>";
        QTest::newRow("one line") << "#" << "<none>" << "<none>";
        QTest::newRow("lone LF is no line break") << "\n 12 3\n#" << "<none>" << "<none>";
    }
    void taskReply()
    {
        QFETCH(QString, reply);
        QFETCH(QString, step);
        QFETCH(QString, status);
        const panels::TaskValues v = panels::parseTaskReply(reply);
        QCOMPARE(opt(v.step), step);
        QCOMPARE(opt(v.status), status);
    }
};

QTEST_GUILESS_MAIN(FormattersTest)
#include "test_formatters.moc"
