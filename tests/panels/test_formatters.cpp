// The data panels' rules without a screen: replies, value forms, names, MBK rows, the task area.
#include "panels/mbk.h"
#include "panels/replies.h"
#include "panels/tasks.h"
#include "panels/variables.h"

#include <QTest>
#include <limits>

using namespace panels;

using Rule = QString (*)(const QString &);
Q_DECLARE_METATYPE(Rule)

class FormattersTest : public QObject
{
    Q_OBJECT

    // "G:" grey run / "B:" black run, runs joined by "|".
    static QString encode(const StyledPieces &pieces)
    {
        QStringList out;
        for (const StyledPiece &p : pieces)
            out << (p.grey ? "G:" : "B:") + p.text;
        return out.join(u'|');
    }

    static QString joined(const std::optional<std::array<QString, 8>> &rows)
    {
        return rows ? QStringList(rows->begin(), rows->end()).join(u',') : QStringLiteral("<refused>");
    }

    static QString opt(const std::optional<QString> &s) { return s ? *s : QStringLiteral("<none>"); }

    static QString shownVariable(const QString &reply, const QString &name, bool hex)
    {
        const VariableDisplay d = formatVariable(reply, name, hex);
        return d.styled.isEmpty() ? d.plain : d.plain + " / " + encode(d.styled);
    }

    static constexpr qint64 kMax = std::numeric_limits<qint64>::max();

private slots:
    // A string reply keeps what a numeric one loses, apart from its frame (real values: the panels' test).
    void textRules_data()
    {
        QTest::addColumn<Rule>("rule");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        const auto row = [](const char *name, Rule rule, const QString &in, const QString &out) {
            QTest::newRow(name) << rule << in << out;
        };
        const Rule numeric = stringmodify, string = stringmodify_string, hex = hexTokens, bytes = stringHex;
        // A variable shows as its plain text, then " / " and its styled runs if it has any.
        const Rule varNumHex = [](const QString &in) { return shownVariable(in, "A", true); };
        const Rule varString = [](const QString &in) { return shownVariable(in, "S$", false); };
        const Rule varStringHex = [](const QString &in) { return shownVariable(in, "S$", true); };
        const Rule mbkHex = [](const QString &in) { return mbkDisplay(in, true); };
        const Rule task = [](const QString &in) { // "step|status"
            const TaskValues v = parseTaskReply(in);
            return opt(v.step) + u'|' + opt(v.status);
        };
        row("other line breaks trimmed", numeric, QString::fromUtf8("\n\r\u2028") + "7\r\n\u0085", "7");
        row("error text kept", numeric, "\r\n\tSyntax Error\r\n#", "\tSyntax Error");
        row("control characters and # stay", string, "\r\n a\tb\rc#d\r\n#", "a\tb\rc#d");
        row("line break of the string stays", string, "\r\n a\r\nb\r\n#", "a\r\nb");
        row("lone LF prompt", string, "\r\n x\n#", "x");
        row("leading blank of the string stays", string, "\r\n  ab\r\n#", " ab");
        row("hex two tokens", hex, "12 -3", "&H0000000C &HFFFFFFFD ");
        row("hex double blank", hex, "12  3", "");
        row("hex bad token drops all", hex, "1 2 x", "");
        row("bytes of backslash", bytes, "\\", "5C ");
        row("bytes of half-width katakana", bytes, QString::fromUtf8("ｱ"), "B1 ");
        row("bytes of unmappable", bytes, QString::fromUtf8("a\uFFFDb"), "61 3F 62 ");
        row("bytes of a character outside the BMP", bytes, QString::fromUtf8("a\U0001F600b"), "61 3F 62 ");
        row("variable error, hexadecimal", varNumHex, "\r\n\tSyntax Error\r\n#", "");
        row("string as text", varString, "\r\n a\tb\rc\r\n#", "a\\tb\\rc / B:a|G:\\t|B:b|G:\\r|B:c");
        row("empty string as text", varString, "\r\n \r\n#", "");
        row("digits of a string stay text", varStringHex, "\r\n 25\r\n#", "32 35 ");
        row("mbk error not converted", mbkHex, "\r\n\tSyntax Error\r\n#", "\tSyntax Error");
        row("mbk two values not converted", mbkHex, "\r\n 1 2\r\n#", "1 2");
        row("task blanks and tabs around", task, "\r\n \t12 3\t \r\n#", "12|3");
        row("task double blank: empty status", task, "\r\n 12  3\r\n#", "12|");
        row("task one value", task, "\r\n 12\r\n#", "12|<none>");
        row("task lone LF is no line break", task, "\n 12 3\n#", "<none>|<none>");
    }
    void textRules()
    {
        QFETCH(Rule, rule);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(rule(in), out);
    }

    void styled_data() // runs, then the escaped plain text
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
        QCOMPARE(encode(styleString(value)), runs);
        QCOMPARE(escapeString(value), plain);
    }

    // A name's query ("command|variname") and assignment of TAB 9 blank (null: not settled).
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
        // A second statement is no name: polled every tick it would run there (an output forced on).
        row("A : ON 5", "<invalid>|A : ON 5", "<none>");
        row("DATA_#4:ON 5", "<invalid>|DATA_#4:ON 5", "<none>");
        // Nor is an element followed by a value: PRA would assign it every tick.
        row("DATA_#4 7", "<invalid>|DATA_", "<none>");
    }
    void nameCommands()
    {
        QFETCH(QString, name);
        QFETCH(QString, query);
        QFETCH(QString, assign);
        const VariableQuery q = variableQuery(name);
        QCOMPARE((q.valid ? q.command : QStringLiteral("<invalid>")) + u'|' + q.variname, query);
        if (!assign.isNull())
            QCOMPARE(opt(assignmentCommand(name, "\t9 ")), assign);
    }

    // A blank value assigns nothing to a number, the empty text to a string. Tasks 0 .. 31 are
    // from 7836, 32 .. 63 from 7772; -1 reads below the area.
    void commandTexts()
    {
        QCOMPARE(opt(assignmentCommand("A", "   ")), "<none>");
        QCOMPARE(opt(assignmentCommand("S$", QString())), "S$=\"\"");
        QCOMPARE(joined(mbkRowAddresses(-3, MbkSize::Int)), "-3,-2,-1,0,1,2,3,4");
        QCOMPARE(joined(mbkRowAddresses(kMbkMaxStart + 1, MbkSize::Lng)), "<refused>");
        QCOMPARE(mbkReadCommand("7", MbkSize::None), "PR MBK(7)");
        QCOMPARE(opt(mbkWriteCommand(" 5", "  &H10 ", MbkSize::Lng)), "MBK( 5~Lng)=&H10");
        QCOMPARE(opt(mbkWriteCommand("5", "1", MbkSize::None)), "MBK(5)=1");
        QCOMPARE(opt(mbkWriteCommand(QString(), "1", MbkSize::Wrd)), "<none>");
        QCOMPARE(opt(mbkWriteCommand("5", "  ", MbkSize::Wrd)), "<none>");
        // Nor does a value or an address carry a statement of its own.
        QCOMPARE(opt(assignmentCommand("S$", "5\" : ON 6 : T$=\"")), "<none>");
        QCOMPARE(opt(assignmentCommand("S$=\"x", " : ON 6 : T$=")), "<none>"); // the name's quote ends it
        QCOMPARE(opt(assignmentCommand("A", "5 : ON 6")), "<none>");
        QCOMPARE(opt(mbkWriteCommand("5~Wrd)=1 : ON 6 : A=(1", "1", MbkSize::Wrd)), "<none>");
        QStringList at; // beyond 64 bits: none (-1)
        for (const qint64 n : {qint64(-1), qint64(0), qint64(30), qint64(31), qint64(32), qint64(63), kMax,
                               std::numeric_limits<qint64>::min()})
            at << QString::number(taskAddress(n).value_or(-1));
        QCOMPARE(at.join(u','), "7834,7836,7896,7898,7772,7834,-1,-1");
        QCOMPARE(taskAddress((kMax - 7708) / 2).value_or(-1), qint64(7708) + (kMax - 7708) / 2 * 2);
        // Text that is not a number reads address 0's entry but is sent as shown.
        QCOMPARE(opt(taskReadCommand("abc")), "PR MBK(7836~Lng) TASK(abc|256)");
        QCOMPARE(opt(taskReadCommand("9223372036854775807")), "<none>");
    }
};

QTEST_GUILESS_MAIN(FormattersTest)
#include "test_formatters.moc"
