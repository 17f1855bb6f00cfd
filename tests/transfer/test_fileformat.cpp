// The file side of the transfers: reading, line cleaning, reply judgement,
// block building, listing text and the atomic writer.
#include "link/sjis.h"
#include "transfer/fileformat.h"
#include "transfer/texts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace transfer;

Q_DECLARE_METATYPE(transfer::Kind)
Q_DECLARE_METATYPE(transfer::LineAction)

namespace {
QByteArray sjis(const QString &s)
{
    bool ok = false;
    const QByteArray b = link::sjisEncode(s, &ok);
    Q_ASSERT(ok);
    return b;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}
} // namespace

class TestFileFormat : public QObject
{
    Q_OBJECT

private slots:
    void cleanLoadLine_data();
    void cleanLoadLine();
    void blockBytes_data();
    void blockBytes();
    void everyFileTextCanBeSent();
    void blocks_data();
    void blocks();
    void decode_data();
    void decode();
    void writeRoundTripAndReplace();
    void writeUnencodableKeepsOldFile();
    void texts_data();
    void texts();
};

void TestFileFormat::cleanLoadLine_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<LineAction>("action");
    QTest::addColumn<QString>("text");

    const auto P = Kind::Program;
    const auto T = Kind::Point;
    const auto M = Kind::Mbk;
    const auto Send = LineAction::Send;
    const auto Skip = LineAction::Skip;
    const auto Refuse = LineAction::Refuse;
    QTest::newRow("empty") << P << "" << qint64(0) << Skip << "";
    QTest::newRow("CR counted, trimmed") << P << "  A=1  \r" << qint64(8) << Send << "A=1";
    QTest::newRow("lone CR") << P << "\r" << qint64(1) << Skip << "";
    QTest::newRow("blanks only") << P << " \t  " << qint64(4) << Skip << "";
    QTest::newRow("comment only") << P << "  /* note" << qint64(9) << Skip << "";
    QTest::newRow("blank before comment stays") << P << "A=1 /* x */" << qint64(11) << Send << "A=1 ";
    QTest::newRow("comment inside quotes") << P << "PRINT \"a /* b\"" << qint64(14) << Send << "PRINT \"a ";
    QTest::newRow("hash refused") << P << " #ABC\r" << qint64(6) << Refuse << "#ABC";
    QTest::newRow("hash after comment cut") << P << "#/*x" << qint64(4) << Refuse << "#";
    QTest::newRow("japanese") << P << "PRINT \"日本語\"\r" << qint64(12) << Send << "PRINT \"日本語\"";
    QTest::newRow("point hash sent") << T << "#SETP 1" << qint64(7) << Send << "#SETP 1";
    QTest::newRow("point no comments") << T << "SETP 1 1 2 3 4 /* x\r" << qint64(20) << Send << "SETP 1 1 2 3 4 /* x";
    QTest::newRow("mbk trimmed") << M << "  MBK(1~Wrd)=5 \t\r" << qint64(17) << Send << "MBK(1~Wrd)=5";
}

void TestFileFormat::cleanLoadLine()
{
    QFETCH(Kind, kind);
    QFETCH(QString, raw);
    QFETCH(qint64, count);
    QFETCH(LineAction, action);
    QFETCH(QString, text);
    const LoadLine l = transfer::cleanLoadLine(raw, traits(kind));
    QCOMPARE(l.count, count);
    QCOMPARE(l.action, action);
    if (action != LineAction::Skip)
        QCOMPARE(l.text, text);
}

void TestFileFormat::blockBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("failure");
    QTest::newRow("LF appended") << "10 A=1\n20 END" << QByteArray("10 A=1\n20 END\n") << "";
    QTest::newRow("sent unchanged") << "  /* c */\r\n#x \n" << QByteArray("  /* c */\r\n#x \n\n") << "";
    // Past the marker nothing is sent, so nothing there can fail.
    QTest::newRow("cut at marker") << "A=1\nEND_OF_LOAD\n\U0001F600\nEND_OF_LOAD" << QByteArray("A=1\n\n") << "";
    QTest::newRow("marker mid line") << "A=1 END_OF_LOAD" << QByteArray("A=1 \n") << "";
    QTest::newRow("empty") << "" << QByteArray("\n") << "";
    QTest::newRow("unencodable names its line")
        << "A=1\r\nB=2\r\nPRINT \"\U0001F600\"\r\nC=3" << QByteArray() << "(3) PRINT \"\U0001F600\"";
}

void TestFileFormat::blockBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, failure);
    const BlockText b = blockLoadBytes(text);
    QCOMPARE(b.ok, failure.isEmpty());
    QCOMPARE(b.bytes, bytes);
    if (!b.ok)
        QCOMPARE(b.failure, failure);
}

void TestFileFormat::everyFileTextCanBeSent()
{
    // The block load refuses text it cannot encode; a file that decoded as
    // Shift-JIS must never be refused, whatever characters it holds.
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

void TestFileFormat::blocks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("blockSizes");
    QTest::newRow("none") << 0 << QList<int>{};
    QTest::newRow("one byte") << 1 << QList<int>{2};
    QTest::newRow("exactly one block") << 1400 << QList<int>{1401};
    QTest::newRow("one over") << 1401 << QList<int>{1401, 2};
    QTest::newRow("3000") << 3000 << QList<int>{1401, 1401, 201};
}

void TestFileFormat::blocks()
{
    QFETCH(int, size);
    QFETCH(QList<int>, blockSizes);
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char('a' + i % 26));
    QList<int> sizes;
    QByteArray joined;
    for (const QByteArray &b : programBlocks(bytes)) {
        sizes << int(b.size());
        QCOMPARE(b.at(0), '\x02');
        joined += b.mid(1);
    }
    QCOMPARE(sizes, blockSizes);
    QCOMPARE(joined, bytes);
}

void TestFileFormat::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("textOrError");

    QTest::newRow("japanese") << sjis(QStringLiteral("A=1\nPRINT \"日本\"\n")) << true
                              << "A=1\nPRINT \"日本\"\n";
    QTest::newRow("0x5C is backslash") << QByteArray("PRINT \"\\\"") << true << "PRINT \"\\\"";
    QTest::newRow("empty") << QByteArray() << true << "";
    QTest::newRow("bad byte line 2") << QByteArray("A=1\nB=\xFF\nC=3") << false << "Line 2";
    QTest::newRow("lead byte at end") << QByteArray("A=1\r\nB=\x93") << false << "Line 2";
}

void TestFileFormat::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(QString, textOrError);
    const FileText f = decodeFileBytes(bytes);
    QCOMPARE(f.ok, ok);
    if (ok) {
        QCOMPARE(f.text, textOrError);
    } else {
        QVERIFY(f.text.isEmpty());
        QVERIFY2(f.error.contains(textOrError), qPrintable(f.error));
    }
}

void TestFileFormat::writeRoundTripAndReplace()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.f2k"));
    const QString text = QStringLiteral("PRINT \"日本語\"\nA=1\n");
    QCOMPARE(writeSjisFile(path, QStringLiteral("LONG OLD CONTENT\n").repeated(50)), QString());
    QCOMPARE(writeSjisFile(path, text), QString());
    QCOMPARE(readAll(path), sjis(text));
    QCOMPARE(readSjisFile(path).text, text);
    QVERIFY(!readSjisFile(dir.filePath(QStringLiteral("missing.f2k"))).ok);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("p.f2k")});
}

void TestFileFormat::writeUnencodableKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.mbk"));
    QCOMPARE(writeSjisFile(path, QStringLiteral("OLD\n")), QString());
    const QString why = writeSjisFile(path, QStringLiteral("A\nB \uFFFD\n"));
    QVERIFY2(why.contains(QStringLiteral("(2) B \uFFFD")), qPrintable(why));
    QCOMPARE(readAll(path), QByteArray("OLD\n"));
}

void TestFileFormat::texts_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    const QString path = QStringLiteral("/tmp/a b/prog.f2k");
    const QString name = fileNameOf(path);
    QTest::newRow("file name") << name << "prog.f2k";
    QTest::newRow("progress 999") << loadProgressText(name, 999) << "\"prog.f2k\" Loading...0(KB)";
    QTest::newRow("progress 4200") << loadProgressText(name, 4200) << "\"prog.f2k\" Loading...4(KB)";
    QTest::newRow("block start") << blockStartText(name) << "\"prog.f2k\" Loading";
    QTest::newRow("save progress") << saveProgressText(name, 12345) << "\"prog.f2k\" Saving...12(KB)";
    QTest::newRow("line error") << lineErrorText(9, QStringLiteral("\r\n\tx\r")) << "(10) \r\n\tx\r";
    QTest::newRow("syntax error") << syntaxErrorText(0, QStringLiteral("#A")) << "(1) #A\r\tSyntax Error\r";
    QTest::newRow("program loaded") << loadedText(Kind::Program, path)
                                    << "Program Loaded \"/tmp/a b/prog.f2k\"\r#";
    QTest::newRow("point saved") << savedText(Kind::Point, path) << "Point Saved \"/tmp/a b/prog.f2k\"\r#";
    QTest::newRow("mbk loaded") << loadedText(Kind::Mbk, path) << "MBK Loaded \"/tmp/a b/prog.f2k\"\r#";

    // How a reply to one sent line is judged; only a rejection is shown.
    const auto judged = [](const char *reply, ReplyRule rule) {
        return lineRejection(QString::fromUtf8(reply), rule).value_or(QStringLiteral("<accepted>"));
    };
    const auto P = ReplyRule::TextBeforePrompt;
    const auto L = ReplyRule::MoreThanTwoPieces;
    QTest::newRow("program reply accepted") << judged("#", P) << "<accepted>";
    QTest::newRow("program reply error") << judged("\r\n\t構文エラー (Syntax Error)\r\n#", P)
                                         << "\r\n\t構文エラー (Syntax Error)\r";
    QTest::newRow("program reply hash inside text") << judged("\r\n\tbad # x", P) << "<accepted>";
    QTest::newRow("list reply accepted prompt") << judged("\r\n#", L) << "<accepted>";
    QTest::newRow("list reply bare hash") << judged("#", L) << "<accepted>";
    QTest::newRow("list reply error") << judged("\r\n\tエラー\r\n#", L) << "\tエラー\r\n#";
    QTest::newRow("list reply only pieces 1 and 2") << judged("\r\n\ta\r\n\tb\r\n#", L) << "\ta\r\n\tb\r";

    // Listings turned into file text.
    const auto file = [](const char *listing, bool dropBeforeTab) {
        return listingFileText(QString::fromUtf8(listing), dropBeforeTab);
    };
    QTest::newRow("listing program") << file("\r\n10\tA=1\r\n20\tPRINT \"日本\"\r\n#", true) << "A=1\nPRINT \"日本\"\n";
    QTest::newRow("listing first tab only") << file("\r\n10\tPRINT \"a\tb\"\r\n#", true) << "PRINT \"a\tb\"\n";
    QTest::newRow("listing no tab unchanged") << file("\r\n*LABEL\r\n#", true) << "*LABEL\n";
    QTest::newRow("listing tab only line") << file("\r\n10\t\r\n#", true) << "";
    QTest::newRow("listing points keep tab") << file("\r\nSETP 1 1 2 3 4\r\n\tx\r\n#", false) << "SETP 1 1 2 3 4\n\tx\n";
    QTest::newRow("listing empty") << file("\r\n#", false) << "";
    QTest::newRow("listing inner hash kept") << file("\r\n#A\r\n#", false) << "#A\n";
}

void TestFileFormat::texts()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestFileFormat)
#include "test_fileformat.moc"
