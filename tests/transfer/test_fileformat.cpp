// The file side of the transfers: reading, line cleaning, reply judgement,
// block text, listing text and the atomic writer.
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
    void cleanLoadLine_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<LineAction>("action");
        QTest::addColumn<QString>("text");

        const auto P = Kind::Program;
        const auto T = Kind::Point;
        const auto M = Kind::Mbk;
        const auto Send = LineAction::Send, Refuse = LineAction::Refuse;
        QTest::newRow("hash after comment cut") << P << "#/*x" << qint64(4) << Refuse << "#";
        QTest::newRow("point no comments")
            << T << " SETP 1 1 2 3 4 /* x\r" << qint64(21) << Send << "SETP 1 1 2 3 4 /* x";
        QTest::newRow("mbk hash sent, no comments")
            << M << "#MBK(1~Wrd)=5 /* x" << qint64(18) << Send << "#MBK(1~Wrd)=5 /* x";
    }

    void cleanLoadLine()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, raw);
        QFETCH(qint64, count);
        QFETCH(LineAction, action);
        QFETCH(QString, text);
        const LoadLine l = transfer::cleanLoadLine(raw, traits(kind));
        QCOMPARE(l.count, count);
        QCOMPARE(l.action, action);
        QCOMPARE(l.text, text);
    }

    void blockBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("failure");
        // Past the marker nothing is sent, so nothing there can fail.
        QTest::newRow("cut at marker")
            << "A=1\nEND_OF_LOAD\n\U0001F600\nEND_OF_LOAD" << QByteArray("A=1\n\n") << "";
        QTest::newRow("marker mid line") << "A=1 END_OF_LOAD" << QByteArray("A=1 \n") << "";
        QTest::newRow("unencodable names its line")
            << "A=1\r\nB=2\r\nPRINT \"\U0001F600\"\r\nC=3" << QByteArray() << "(3) PRINT \"\U0001F600\"";
    }

    void blockBytes()
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

    void everyFileTextCanBeSent()
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

    void decodeRefusesACutCharacter()
    {
        // A lead byte with nothing after it at the very end still names its line.
        const FileText f = decodeFileBytes("A=1\r\nB=\x93");
        QVERIFY(!f.ok && f.text.isEmpty());
        QVERIFY2(f.error.contains(QStringLiteral("Line 2")), qPrintable(f.error));
    }

    void writeLeavesNoTemporaryFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.f2k"));
        const QString text = QStringLiteral("PRINT \"日本語\"\nA=1\n");
        QCOMPARE(writeSjisFile(path, text), QString());
        QCOMPARE(readAll(path), wire::sjisEncode(text));
        // No temporary file is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("p.f2k")});
    }

    void writeUnencodableKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("m.mbk"));
        QCOMPARE(writeSjisFile(path, QStringLiteral("OLD\n")), QString());
        const QString why = writeSjisFile(path, QStringLiteral("A\nB \uFFFD\n"));
        QVERIFY2(why.contains(QStringLiteral("(2) B \uFFFD")), qPrintable(why));
        QCOMPARE(readAll(path), QByteArray("OLD\n"));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("save progress")
            << saveProgressText(QStringLiteral("prog.f2k"), 12345) << "\"prog.f2k\" Saving...12(KB)";

        // How a reply to one sent line is judged; only a rejection is shown.
        const auto judged = [](const char *reply, ReplyRule rule) {
            return lineRejection(QString::fromUtf8(reply), rule).value_or(QStringLiteral("<accepted>"));
        };
        const auto P = ReplyRule::TextBeforePrompt;
        const auto L = ReplyRule::MoreThanTwoPieces;
        QTest::newRow("program reply hash inside text") << judged("\r\n\tbad # x", P) << "<accepted>";
        QTest::newRow("list reply only pieces 1 and 2") << judged("\r\n\ta\r\n\tb\r\n#", L) << "\ta\r\n\tb\r";

        // Listings turned into file text.
        const auto file = [](const char *listing, bool dropBeforeTab) {
            return listingFileText(QString::fromUtf8(listing), dropBeforeTab);
        };
        QTest::newRow("listing first tab only")
            << file("\r\n10\tPRINT \"a\tb\"\r\n#", true) << "PRINT \"a\tb\"\n";
        QTest::newRow("listing tab only line") << file("\r\n10\t\r\n#", true) << "";
        QTest::newRow("listing points keep tab")
            << file("\r\nSETP 1 1 2 3 4\r\n\tx\r\n#", false) << "SETP 1 1 2 3 4\n\tx\n";
        QTest::newRow("listing inner hash kept") << file("\r\n#A\r\n#?", false) << "#A\n";
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
