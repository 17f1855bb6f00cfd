// The file side of the transfers (reading, line cleaning, replies, block and listing text, writing), what a
// backup takes from a listing, the comparison's rules, and the exports' CSV records.
#include "core/csv.h"
#include "link/sjis.h"
#include "transfer/backupset.h"
#include "transfer/compare.h"
#include "transfer/fileformat.h"
#include "transfer/texts.h"

#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <limits>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace transfer;

class TestFileFormat : public QObject
{
    Q_OBJECT

private slots:
    void everyFileTextCanBeSent()
    {
        // Whatever a file that decoded as Shift-JIS holds, the block load can encode it.
        QByteArray all;
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                QByteArray pair(2, char(a));
                pair[1] = char(b);
                if (decodeFileBytes(pair).ok)
                    all += pair;
            }
        }
        const FileText f = decodeFileBytes(all);
        QVERIFY(f.ok);
        QVERIFY(f.text.size() > 7000);
        QVERIFY(blockLoadBytes(f.text).ok);
    }

    // A file is replaced whole or not at all, and no temporary file is left.
    void writeIsAtomic()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.f2k"));
        const QString text = QStringLiteral("PRINT \"日本語\"\nA=1\n");
        QCOMPARE(writeSjisFile(path, text), QString());
        QCOMPARE(bytesOf(path), wire::sjisEncode(text));
        const QString why = writeSjisFile(path, QStringLiteral("A\nB \uFFFD\n"));
        QVERIFY2(why.contains(QStringLiteral("(2) B \uFFFD")), qPrintable(why));
        const QString first = writeSjisFile(path, QStringLiteral("\uFFFD\nB\n"));
        QVERIFY2(first.contains(QStringLiteral("(1) \uFFFD")), qPrintable(first));
        QCOMPARE(bytesOf(path), wire::sjisEncode(text));
#ifdef Q_OS_UNIX
        // A full disk: the save says so, and the file saved before stays whole.
        QString full;
        withHalfTheRoom(path, [&] { full = writeSjisFile(path, text + text); });
        QVERIFY(!full.isEmpty());
        QCOMPARE(bytesOf(path), wire::sjisEncode(text));
#endif
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("p.f2k")});
    }

    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("save progress")
            << saveProgressText(QStringLiteral("prog.f2k"), 12345) << "\"prog.f2k\" Saving...12(KB)";
        // A lead byte with nothing after it at the very end still names its line.
        const FileText cut = decodeFileBytes("A=1\r\nB=\x93");
        QTest::newRow("decode, cut character")
            << (cut.ok ? cut.text : cut.error + '|' + cut.text) << "Line 2 is not valid Shift-JIS text.|";
        // A lone CR ends its line and stays with it (it counts in the progress total).
        QTest::newRow("lone CR ends a line") << splitLines("A\rB\r\nC").join('|') << "A\r|B\r|C";
        const FileText first = decodeFileBytes("B=\x93\nA=1");
        QTest::newRow("decode, first line") << first.error << "Line 1 is not valid Shift-JIS text.";
        // Lines ended by a CR alone are counted as the load counts them.
        QTest::newRow("decode, CR-ended lines")
            << decodeFileBytes("A=1\rB=2\rC=\x93\r").error << "Line 3 is not valid Shift-JIS text.";
        const FileText missing = readSjisFile(QStringLiteral("/nonexistent/prog.f2k"));
        QTest::newRow("missing file says why") << (missing.ok                ? "read"
                                                   : missing.error.isEmpty() ? "no reason"
                                                                             : "refused")
                                               << "refused";
#ifdef Q_OS_UNIX
        // A named pipe picked as a file: refused at once, not waited on for ever.
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("pipe.f2k")));
        QTest::newRow("a pipe is no file")
            << (::mkfifo(fifo.constData(), 0600) == 0 ? readSjisFile(QFile::decodeName(fifo)).error
                                                      : QStringLiteral("mkfifo failed"))
            << "Not a regular file.";
#endif

        // A file line as it goes out: characters counted, sent or refused, the text.
        const auto cleaned = [](Kind kind, const char *raw) {
            const LoadLine l = cleanLoadLine(QString::fromUtf8(raw), traits(kind));
            const QString action = QStringList{"skip", "send", "refuse"}.value(int(l.action));
            return QStringLiteral("%1 %2 %3").arg(l.count).arg(action, l.text);
        };
        QTest::newRow("hash after comment cut") << cleaned(Kind::Program, "#/*x") << "4 refuse #";
        QTest::newRow("comment only") << cleaned(Kind::Program, "/* x").left(6) << "4 skip";
        QTest::newRow("point no comments")
            << cleaned(Kind::Point, " SETP 1 1 2 3 4 /* x\r") << "21 send SETP 1 1 2 3 4 /* x";
        QTest::newRow("mbk hash sent, no comments")
            << cleaned(Kind::Mbk, "#MBK(1~Wrd)=5 /* x") << "18 send #MBK(1~Wrd)=5 /* x";

        // A block load's bytes; past the marker nothing is sent, so nothing there can fail.
        const auto block = [](const char *text) {
            const BlockText b = blockLoadBytes(QString::fromUtf8(text));
            return b.ok ? QString::fromLatin1(b.bytes) : "failed " + b.failure + QString::fromLatin1(b.bytes);
        };
        QTest::newRow("block cut at marker")
            << block("A=1\nEND_OF_LOAD\n\U0001F600\nEND_OF_LOAD") << "A=1\n\n";
        QTest::newRow("block marker mid line") << block("A=1 END_OF_LOAD") << "A=1 \n";
        QTest::newRow("block marker first") << block("END_OF_LOAD\nA=1") << "\n";
        QTest::newRow("block unencodable names its line")
            << block("A=1\r\nB=2\r\nPRINT \"\U0001F600\"\r\nC=3") << "failed (3) PRINT \"\U0001F600\"";
        QTest::newRow("block unencodable first line") << block("\U0001F600\nA=1") << "failed (1) \U0001F600";

        // How a reply to one sent line is judged; only a rejection is shown.
        const auto judged = [](const char *reply, ReplyRule rule) {
            return lineRejection(QString::fromUtf8(reply), rule).value_or(QStringLiteral("<accepted>"));
        };
        const auto P = ReplyRule::TextBeforePrompt;
        const auto L = ReplyRule::MoreThanTwoPieces;
        QTest::newRow("program reply hash inside text") << judged("\r\n\tbad # x", P) << "<accepted>";
        QTest::newRow("list reply only pieces 1 and 2") << judged("\r\n\ta\r\n\tb\r\n#", L) << "\ta\r\n\tb\r";

        // Listings turned into file text (the first tab only, an inner "#" kept: fuzz_files).
        const auto file = [](const char *listing, bool dropBeforeTab) {
            return listingFileText(QString::fromUtf8(listing), dropBeforeTab);
        };
        QTest::newRow("listing tab only line") << file("\r\n10\t\r\n#", true) << "";
        QTest::newRow("listing points keep tab")
            << file("\r\nSETP 1 1 2 3 4\r\n\tx\r\n#", false) << "SETP 1 1 2 3 4\n\tx\n";

        // The line that keeps a listing from being backed up; "-": none.
        const auto stray = [](Kind kind, const QString &listing) {
            return strayListingLine(kind, listing).value_or(QStringLiteral("-"));
        };
        QTest::newRow("stray: program")
            << stray(Kind::Program, "\r\n10\tA=1\r\n20\t*L\r\n35\tGOTO *L\r\n#") << "-";
        QTest::newRow("stray: empty program") << stray(Kind::Program, "\r\n#") << "-";
        QTest::newRow("stray: at a breakpoint") << stray(Kind::Program, "\r\n10\tA=1\r\n#?") << "-";
        QTest::newRow("stray: printed line")
            << stray(Kind::Program, "\r\n10\tA=1\r\n 7\r\n20\tB=2\r\n#") << " 7";
        QTest::newRow("stray: numbers falling")
            << stray(Kind::Program, "\r\n10\tA=1\r\n10\tB=2\r\n#") << "10\tB=2";
        QTest::newRow("stray: error")
            << stray(Kind::Program, "\r\n\t構文エラー (Syntax Error)\r\n#") << "\t構文エラー (Syntax Error)";
        QTest::newRow("stray: no prompt") << stray(Kind::Program, "\r\n10\tA=1") << "10\tA=1";
        QTest::newRow("stray: points, a program's error") // a TAB-led line is the controller's error
            << stray(Kind::Point, "\r\nSETP 1 0 -5 2.5 7\r\n\tNo board @ 20\r\nSETP 3 1 1 1 1\r\n#")
            << "\tNo board @ 20";
        QTest::newRow("stray: point short")
            << stray(Kind::Point, "\r\nSETP 1 0 -5 2\r\n#") << "SETP 1 0 -5 2";
        QTest::newRow("stray: point printed")
            << stray(Kind::Point, "\r\nSETP 1 0 0 0 0\r\n 12345\r\n#") << " 12345";
        QTest::newRow("stray: mbk") << stray(Kind::Mbk, "\r\nMBK(7~Wrd)=65535\r\nMBK(8~Int)=-1\r\n#") << "-";
        QTest::newRow("stray: mbk garbled")
            << stray(Kind::Mbk, "\r\nMBK(7~Wrd)=65\uFFFD\r\n#") << "MBK(7~Wrd)=65\uFFFD";

        // Table entries are keyed by point or address; the last line of an entry wins; spacing is no change.
        const TableComparison c =
            compareTables({"MBK(100~Wrd)=1", "MBK(9~Wrd)=4", "SETP 10 1 2 3 4"},
                          {"MBK(9~Wrd)=3", "MBK(9~Wrd)=4", "SETP 10 1  2 3 4", "MBK(100~Wrd)=2"});
        QString changes;
        for (const EntryChange &e : c.changes)
            changes += e.key + ' ' + e.controllerValue + ' ' + e.fileValue + ';';
        QTest::newRow("compare: table rules") << changes << "MBK(100~Wrd) 1 2;";
        // A word written as a signed Int is the word the controller lists: loading it changes nothing.
        QTest::newRow("compare: a word as Int")
            << QString::number(compareTables({"MBK(5~Wrd)=65535"}, {"MBK(5~Int)=-1"}).changes.size()) << "0";
        // The controller lists no zero point or word: a file's zero is no entry it would add.
        QTest::newRow("compare: zeros")
            << QString::number(compareTables({"SETP 2 1 0 0 0"}, {"SETP 2 1 0 0 0", "SETP 3 0 0 0 0",
                                                                  "MBK(6~Wrd)=1", "MBK(6~Int)=0"})
                                   .changes.size())
            << "0";
        // Blanks outside string literals are the controller's layout; inside one they are printed text.
        const auto spacing = [](const char *controller, const char *file) {
            const bool same =
                comparePrograms({QString::fromUtf8(controller)}, {QString::fromUtf8(file)}).identical();
            return same ? "same" : "differs";
        };
        QTest::newRow("compare: blanks between words") << spacing("A = 1", "A  =  1 ") << "same";
        QTest::newRow("compare: tab for a blank") << spacing("PRINT \"A\"", "PRINT\t\"A\"") << "same";
        QTest::newRow("compare: blanks inside a literal")
            << spacing("PRINT \"A  B\"", "PRINT \"A B\"") << "differs";
        QTest::newRow("compare: blanks at a literal's edge")
            << spacing("PRINT \" A\"", "PRINT \"A\"") << "differs";
        QTest::newRow("compare: literal, then blanks outside")
            << spacing("S$=\"A  B\" :  PRINT S$", "S$=\"A  B\" : PRINT S$") << "same";
        QTest::newRow("compare: second literal")
            << spacing("PRINT \"A\" ; \"B  C\"", "PRINT \"A\" ; \"B C\"") << "differs";
        QTest::newRow("compare: unclosed literal runs to the end")
            << spacing("PRINT \"A  B", "PRINT \"A B") << "differs";

        // What a spreadsheet gets for each kind of cell (text, numbers, quoting: test_trendcore's CSV).
        const auto text = &core::CsvField::text;
        const auto number = &core::CsvField::number;
        const auto csv = [](const QList<core::CsvField> &fields) { return core::csvRecord(fields); };
        QTest::newRow("csv empty cells")
            << csv({text("time"), {}, text({}), number(-0.25)}) << "time,,,-0.25\r\n";
        QTest::newRow("csv double quotes") << csv({text("set \"2\"")}) << "\"set \"\"2\"\"\"\r\n";
        QTest::newRow("csv CR and LF") << csv({text("a\rb"), text("c\nd")}) << "\"a\rb\",\"c\nd\"\r\n";
        QTest::newRow("csv formula starts")
            << csv({text("=HYPERLINK(1)"), text("+A"), text("-A"), text("@SUM(1)")})
            << "'=HYPERLINK(1),'+A,'-A,'@SUM(1)\r\n";
        QTest::newRow("csv formula in quotes") << csv({text("=1,\"x\"")}) << "\"'=1,\"\"x\"\"\"\r\n";
        QTest::newRow("csv formula signs further in") << csv({text("A=-1"), text(" =1")}) << "A=-1, =1\r\n";
        QTest::newRow("csv negative numbers") << csv({number(-3), number(-1e-7)}) << "-3,-1e-07\r\n";
        QTest::newRow("csv no number") << csv({number(std::numeric_limits<double>::quiet_NaN()),
                                               number(std::numeric_limits<double>::infinity())})
                                       << ",\r\n";
        // Counters and long words as the controller sent them, to the last digit.
        QTest::newRow("csv large whole numbers") << csv({number(1234567890123456.0), number(-12345678901.0)})
                                                 << "1234567890123456,-12345678901\r\n";
    }

    void texts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestFileFormat)
#include "test_fileformat.moc"
