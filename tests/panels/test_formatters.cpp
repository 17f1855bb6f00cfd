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
        const auto row = [](const char *name, int rule, const QString &in, const QString &out) {
            QTest::newRow(name) << rule << in << out;
        };
        row("other line breaks trimmed", Numeric, QString::fromUtf8("\n\r\u2028") + "7\r\n\u0085", "7");
        row("error text kept", Numeric, "\r\n\tSyntax Error\r\n#", "\tSyntax Error");
        row("control characters and # stay", String, "\r\n a\tb\rc#d\r\n#", "a\tb\rc#d");
        row("line break of the string stays", String, "\r\n a\r\nb\r\n#", "a\r\nb");
        row("lone LF prompt", String, "\r\n x\n#", "x");
        row("leading blank of the string stays", String, "\r\n  ab\r\n#", " ab");
        row("hex two tokens", Hex, "12 -3", "&H0000000C &HFFFFFFFD ");
        row("hex double blank", Hex, "12  3", "");
        row("hex bad token drops all", Hex, "1 2 x", "");
        row("bytes of backslash", Bytes, "\\", "5C ");
        row("bytes of half-width katakana", Bytes, QString::fromUtf8("ｱ"), "B1 ");
        row("bytes of unmappable", Bytes, QString::fromUtf8("a\uFFFDb"), "61 3F 62 ");
        row("bytes of a character outside the BMP", Bytes, QString::fromUtf8("a\U0001F600b"), "61 3F 62 ");
        row("variable error, hexadecimal", VarNumHex, "\r\n\tSyntax Error\r\n#", "");
        row("string as text", VarString, "\r\n a\tb\rc\r\n#", "a\\tb\\rc / B:a|G:\\t|B:b|G:\\r|B:c");
        row("empty string as text", VarString, "\r\n \r\n#", "");
        row("digits of a string stay text", VarStringHex, "\r\n 25\r\n#", "32 35 ");
        row("mbk error not converted", MbkHex, "\r\n\tSyntax Error\r\n#", "\tSyntax Error");
        row("mbk two values not converted", MbkHex, "\r\n 1 2\r\n#", "1 2");
        row("task blanks and tabs around", Task, "\r\n \t12 3\t \r\n#", "12|3");
        row("task double blank: empty status", Task, "\r\n 12  3\r\n#", "12|");
        row("task one value", Task, "\r\n 12\r\n#", "12|<none>");
        row("task lone LF is no line break", Task, "\n 12 3\n#", "<none>|<none>");
    }
    void textRules()
    {
        QFETCH(int, rule);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(applyRule(rule, in), out);
    }

    // A value's styled runs, then its escaped plain text.
    void styled_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("runs");
        QTest::addColumn<QString>("plain");
        const auto row = [](const char *name, const QString &value, const QString &runs,
                            const QString &plain) { QTest::newRow(name) << value << runs << plain; };
        row("CR LF as one", "x\r\ny", "B:x|G:\\r\\n|B:y", "x\\r\\ny");
        row("CR then CR LF", "\r\r\n", "G:\\r\\r\\n", "\\r\\r\\n");
        row("LF then CR is no pair", "\n\r", "G:\\n\\r", "\\n\\r");
        const QString controls = QString::fromUtf8("\x01\x08\x0b\x0c\x0e\x1f");
        row("placeholders", controls, "G:" + QString(6, QChar(0x25A1)), controls);
        row("NUL is black", QString(QChar(0)), QStringLiteral("B:") + QChar(0), QString(QChar(0)));
        const QString black = QString::fromUtf8("\x7f 日本");
        row("DEL, space, Japanese are black", black, "B:" + black, black);
        row("backslash stays itself", "a\\t", "B:a\\t", "a\\t");
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
    // and, with the value TAB 9 blank, its assignment (null: not settled).
    void nameCommands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("assign");
        const auto row = [](const char *name, const char *query, const char *assign) {
            QTest::newRow(name[0] ? name : "empty") << QString(name) << QString(query) << QString(assign);
        };
        row("", "<invalid>|", "=9");
        row("A", "PR A|A", "A=9");
        row("DATA_#4", "PRA DATA_ 4|DATA_", "PRA DATA_ 4 9");
        row("DATA_#", "<invalid>|DATA_", "<none>");
        row("DATA_#4#9", "PRA DATA_ 4|DATA_", "PRA DATA_ 4 9"); // further pieces ignored
        row("A#1", "PR A#1|A#1", "A#1=9");                      // # without _ is a plain name
        row("#_#3", "<invalid>|", nullptr);                     // array without a name
    }
    void nameCommands()
    {
        QFETCH(QString, name);
        QFETCH(QString, query);
        QFETCH(QString, assign);
        const panels::VariableQuery q = panels::variableQuery(name);
        QCOMPARE((q.valid ? q.command : QStringLiteral("<invalid>")) + QLatin1Char('|') + q.variname, query);
        if (!assign.isNull())
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
