// The data panels' rules without a screen: reply cleaning, value forms,
// variable names, MBK rows and the task area.
#include "panels/mbk.h"
#include "panels/replies.h"
#include "panels/tasks.h"
#include "panels/variables.h"

#include <QTest>
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
    return rows ? QStringList(rows->begin(), rows->end()).join(QLatin1Char(','))
                : QStringLiteral("<refused>");
}

QString opt(const std::optional<QString> &s)
{
    return s ? *s : QStringLiteral("<none>");
}

enum TextRule { Numeric, String, Hex, Bytes, VarNumHex, VarString, VarStringHex, MbkHex, Task };

QString shownVariable(const QString &reply, const QString &name, bool hex)
{
    const panels::VariableDisplay d = panels::formatVariable(reply, name, hex);
    return d.styled.isEmpty() ? d.plain : d.plain + QStringLiteral(" / ") + encode(d.styled);
}

// Every one-text-in, one-text-out rule. A variable shows as its plain text,
// then " / " and its styled runs if it has any; a task reply as "step|status".
QString applyRule(int rule, const QString &in)
{
    switch (rule) {
    case Numeric:
        return panels::stringmodify(in);
    case String:
        return panels::stringmodify_string(in);
    case Hex:
        return panels::hexTokens(in);
    case Bytes:
        return panels::stringHex(in);
    case VarNumHex:
        return shownVariable(in, QStringLiteral("A"), true);
    case VarString:
        return shownVariable(in, QStringLiteral("S$"), false);
    case VarStringHex:
        return shownVariable(in, QStringLiteral("S$"), true);
    case MbkHex:
        return panels::mbkDisplay(in, true);
    }
    const panels::TaskValues v = panels::parseTaskReply(in);
    return opt(v.step) + QLatin1Char('|') + opt(v.status);
}

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();

} // namespace

class FormattersTest : public QObject
{
    Q_OBJECT

private slots:
    // A string reply keeps what a numeric one loses, apart from its frame.
    // Decimal, hexadecimal and Shift-JIS bytes of real values come from the
    // simulator in the panels' test.
    void textRules_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("other line breaks trimmed")
            << int(Numeric) << QString::fromUtf8("\n\r\u2028") + "7\r\n\u0085"
            << "7";
        QTest::newRow("error text kept") << int(Numeric) << "\r\n\tSyntax Error\r\n#"
                                         << "\tSyntax Error";
        QTest::newRow("control characters and # stay") << int(String) << "\r\n a\tb\rc#d\r\n#"
                                                       << "a\tb\rc#d";
        QTest::newRow("line break of the string stays") << int(String) << "\r\n a\r\nb\r\n#"
                                                        << "a\r\nb";
        QTest::newRow("lone LF prompt") << int(String) << "\r\n x\n#"
                                        << "x";
        QTest::newRow("leading blank of the string stays") << int(String) << "\r\n  ab\r\n#"
                                                           << " ab";
        QTest::newRow("hex two tokens") << int(Hex) << "12 -3"
                                        << "&H0000000C &HFFFFFFFD ";
        QTest::newRow("hex double blank") << int(Hex) << "12  3"
                                          << "";
        QTest::newRow("hex bad token drops all") << int(Hex) << "1 2 x"
                                                 << "";
        QTest::newRow("bytes of backslash") << int(Bytes) << "\\"
                                            << "5C ";
        QTest::newRow("bytes of half-width katakana") << int(Bytes) << QString::fromUtf8("ｱ") << "B1 ";
        QTest::newRow("bytes of unmappable") << int(Bytes) << QString::fromUtf8("a\uFFFDb") << "61 3F 62 ";
        QTest::newRow("variable error, hexadecimal") << int(VarNumHex) << "\r\n\tSyntax Error\r\n#"
                                                     << "";
        QTest::newRow("string as text") << int(VarString) << "\r\n a\tb\rc\r\n#"
                                        << "a\\tb\\rc / B:a|G:\\t|B:b|G:\\r|B:c";
        QTest::newRow("empty string as text") << int(VarString) << "\r\n \r\n#"
                                              << "";
        QTest::newRow("digits of a string stay text") << int(VarStringHex) << "\r\n 25\r\n#"
                                                      << "32 35 ";
        QTest::newRow("mbk error not converted") << int(MbkHex) << "\r\n\tSyntax Error\r\n#"
                                                 << "\tSyntax Error";
        QTest::newRow("mbk two values not converted") << int(MbkHex) << "\r\n 1 2\r\n#"
                                                      << "1 2";
        QTest::newRow("task blanks and tabs around") << int(Task) << "\r\n \t12 3\t \r\n#"
                                                     << "12|3";
        QTest::newRow("task double blank: empty status") << int(Task) << "\r\n 12  3\r\n#"
                                                         << "12|";
        QTest::newRow("task one value") << int(Task) << "\r\n 12\r\n#"
                                        << "12|<none>";
        QTest::newRow("task lone LF is no line break") << int(Task) << "\n 12 3\n#"
                                                       << "<none>|<none>";
    }
    void textRules()
    {
        QFETCH(int, rule);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(applyRule(rule, in), out);
    }

    void styled_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("runs");
        QTest::addColumn<QString>("plain");
        QTest::newRow("CR LF as one") << "x\r\ny"
                                      << "B:x|G:\\r\\n|B:y"
                                      << "x\\r\\ny";
        QTest::newRow("CR then CR LF") << "\r\r\n"
                                       << "G:\\r\\r\\n"
                                       << "\\r\\r\\n";
        QTest::newRow("LF then CR is no pair") << "\n\r"
                                               << "G:\\n\\r"
                                               << "\\n\\r";
        QTest::newRow("placeholders") << QString::fromUtf8("\x01\x08\x0b\x0c\x0e\x1f")
                                      << QString::fromUtf8("G:\u25A1\u25A1\u25A1\u25A1\u25A1\u25A1")
                                      << QString::fromUtf8("\x01\x08\x0b\x0c\x0e\x1f");
        QTest::newRow("NUL is black")
            << QString(QChar(0)) << QStringLiteral("B:") + QChar(0) << QString(QChar(0));
        QTest::newRow("DEL, space, Japanese are black")
            << QString::fromUtf8("\x7f 日本") << QString::fromUtf8("B:\x7f 日本")
            << QString::fromUtf8("\x7f 日本");
        QTest::newRow("backslash stays itself") << "a\\t"
                                                << "B:a\\t"
                                                << "a\\t";
    }
    void styled()
    {
        QFETCH(QString, value);
        QFETCH(QString, runs);
        QFETCH(QString, plain);
        QCOMPARE(encode(panels::styleString(value)), runs);
        QCOMPARE(panels::escapeString(value), plain);
    }

    // A name gives its query ("command|variname", or "<invalid>|variname")
    // and, with the value TAB 9 blank, its assignment.
    void nameCommands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("assign");
        QTest::newRow("empty") << ""
                               << "<invalid>|"
                               << "=9";
        QTest::newRow("numeric") << "A"
                                 << "PR A|A"
                                 << "A=9";
        QTest::newRow("array element") << "DATA_#4"
                                       << "PRA DATA_ 4|DATA_"
                                       << "PRA DATA_ 4 9";
        QTest::newRow("array without argument") << "DATA_#"
                                                << "<invalid>|DATA_"
                                                << "<none>";
        QTest::newRow("further pieces ignored") << "DATA_#4#9"
                                                << "PRA DATA_ 4|DATA_"
                                                << "PRA DATA_ 4 9";
        QTest::newRow("# without _ is a plain name") << "A#1"
                                                     << "PR A#1|A#1"
                                                     << "A#1=9";
        QTest::newRow("array without name") << "#_#3"
                                            << "<invalid>|" << QString();
    }
    void nameCommands()
    {
        QFETCH(QString, name);
        QFETCH(QString, query);
        QFETCH(QString, assign);
        const panels::VariableQuery q = panels::variableQuery(name);
        QCOMPARE((q.valid ? q.command : QStringLiteral("<invalid>")) + QLatin1Char('|') + q.variname, query);
        if (!assign.isNull()) // an assignment to a nameless array is not settled
            QCOMPARE(opt(panels::assignmentCommand(name, QStringLiteral("\t9 "))), assign);
    }

    // A blank value assigns nothing to a number, the empty text to a string.
    void blankAssignmentsAndMbkCommands()
    {
        QCOMPARE(opt(panels::assignmentCommand(QStringLiteral("A"), QStringLiteral("   "))),
                 QStringLiteral("<none>"));
        QCOMPARE(opt(panels::assignmentCommand(QStringLiteral("S$"), QString())), QStringLiteral("S$=\"\""));
        using S = panels::MbkSize;
        QCOMPARE(joined(panels::mbkRowAddresses(-3, S::Int)), QStringLiteral("-3,-2,-1,0,1,2,3,4"));
        QCOMPARE(joined(panels::mbkRowAddresses(panels::kMbkMaxStart + 1, S::Lng)),
                 QStringLiteral("<refused>"));
        QCOMPARE(panels::mbkReadCommand(QStringLiteral("7"), S::None), QStringLiteral("PR MBK(7)"));
        QCOMPARE(opt(panels::mbkWriteCommand(QStringLiteral(" 5"), QStringLiteral("  &H10 "), S::Lng)),
                 QStringLiteral("MBK( 5~Lng)=&H10"));
        QCOMPARE(opt(panels::mbkWriteCommand(QStringLiteral("5"), QStringLiteral("1"), S::None)),
                 QStringLiteral("MBK(5)=1"));
        QCOMPARE(opt(panels::mbkWriteCommand(QString(), QStringLiteral("1"), S::Wrd)),
                 QStringLiteral("<none>"));
    }

    void taskAddressAndCommands()
    {
        QStringList at; // tasks 0 .. 31 from 7836, 32 .. 63 from 7772; -1 reads below the area
        for (const qint64 n : {-1, 0, 30, 31, 32, 63})
            at << QString::number(panels::taskAddress(n).value_or(-1));
        QCOMPARE(at.join(u','), QStringLiteral("7834,7836,7896,7898,7772,7834"));
        QCOMPARE(panels::taskAddress((kMax - 7708) / 2).value_or(-1), qint64(7708) + (kMax - 7708) / 2 * 2);
        QCOMPARE(panels::taskAddress(kMax).value_or(-1), qint64(-1));
        QCOMPARE(panels::taskAddress(kMin).value_or(-1), qint64(-1));
        // Text that is not a number reads address 0's entry but is sent as shown.
        QCOMPARE(opt(panels::taskReadCommand(QStringLiteral("abc"))),
                 QStringLiteral("PR MBK(7836~Lng) TASK(abc|256)"));
        QCOMPARE(opt(panels::taskReadCommand(QStringLiteral("9223372036854775807"))),
                 QStringLiteral("<none>"));
    }
};

QTEST_GUILESS_MAIN(FormattersTest)
#include "test_formatters.moc"
