// The tools' rules without a window: breakpoint targets, the clock-setting
// command under any locale, and the annotated monitor listing from reply
// texts in the controller's shape and in other shapes.
#include "tools/tools.h"

#include <QLocale>
#include <QStringList>
#include <QtTest>

namespace {

// Pieces as one line each: "head|label", or "head" alone when there is no
// label, so a table row can state the whole parse.
QStringList describe(const QVector<tools::MonPiece> &pieces)
{
    QStringList out;
    for (const tools::MonPiece &p : pieces)
        out << (p.label ? p.head + QLatin1Char('|') + *p.label : p.head);
    return out;
}

} // namespace

class TestToolRules : public QObject
{
    Q_OBJECT

private slots:
    void bkpTarget_data();
    void bkpTarget();

    void rtcSetCommand_data();
    void rtcSetCommand();
    void rtcSetCommandTakesLocalTime();

    void cleanMonReply_data();
    void cleanMonReply();
    void parseMonPieces_data();
    void parseMonPieces();
    void cleanListLine_data();
    void cleanListLine();

    void buildMonListing_data();
    void buildMonListing();
    void buildMonListingStopsAtFailedExchange();
};

void TestToolRules::bkpTarget_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("target");

    QTest::newRow("step number") << "120" << "120";
    QTest::newRow("signed step") << "-5" << "-5";
    QTest::newRow("plus sign") << "+7" << "+7";
    QTest::newRow("label") << "LOOP1" << "*LOOP1";
    QTest::newRow("starred label kept") << "*LOOP1" << "*LOOP1";
    QTest::newRow("only a star kept") << "*" << "*";
    QTest::newRow("digits then letters") << "12A" << "*12A";
    QTest::newRow("star inside") << "A*B" << "*A*B";
    QTest::newRow("sign alone") << "-" << "*-";
    QTest::newRow("hex is a label") << "&H10" << "*&H10";
    QTest::newRow("two words") << "10 20" << "*10 20";
    QTest::newRow("japanese label") << "ラベル" << "*ラベル";
}

void TestToolRules::bkpTarget()
{
    QFETCH(QString, typed);
    QFETCH(QString, target);
    QCOMPARE(tools::bkpTarget(typed), target);
}

void TestToolRules::rtcSetCommand_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("command");

    const QDateTime morning(QDate(2026, 12, 5), QTime(9, 5, 3));
    const QDateTime afternoon(QDate(2026, 12, 5), QTime(13, 52, 10));
    // Locales whose own formatters would give other digits, separators or
    // orders: the command must not change with them.
    for (const char *loc : {"C", "ja_JP", "en_US", "de_DE", "ar_EG", "hi_IN"}) {
        const QByteArray l(loc);
        QTest::addRow("%s one-digit hour", loc)
            << QString::fromLatin1(l) << morning << "2026/12/05 9:05:03"
            << "SET_RTC &H20261205 : SET_RTC &H0090503";
        QTest::addRow("%s two-digit hour", loc)
            << QString::fromLatin1(l) << afternoon << "2026/12/05 13:52:10"
            << "SET_RTC &H20261205 : SET_RTC &H00135210";
    }
    QTest::newRow("midnight") << "C" << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0))
                              << "2027/01/01 0:00:00" << "SET_RTC &H20270101 : SET_RTC &H0000000";
    QTest::newRow("last second") << "C" << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))
                                 << "2026/12/31 23:59:59" << "SET_RTC &H20261231 : SET_RTC &H00235959";
    QTest::newRow("ten o'clock") << "C" << QDateTime(QDate(2030, 10, 10), QTime(10, 0, 9))
                                 << "2030/10/10 10:00:09" << "SET_RTC &H20301010 : SET_RTC &H00100009";
    QTest::newRow("milliseconds ignored") << "C" << QDateTime(QDate(2026, 2, 28), QTime(7, 8, 9, 999))
                                          << "2026/02/28 7:08:09" << "SET_RTC &H20260228 : SET_RTC &H0070809";
    QTest::newRow("three-digit year padded") << "C" << QDateTime(QDate(999, 3, 4), QTime(1, 2, 3))
                                             << "0999/03/04 1:02:03" << "SET_RTC &H09990304 : SET_RTC &H0010203";
}

void TestToolRules::rtcSetCommand()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, when);
    QFETCH(QString, text);
    QFETCH(QString, command);

    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const QString gotText = tools::rtcDateTimeText(when);
    const QString gotCommand = tools::rtcSetCommand(when);
    QLocale::setDefault(before);

    QCOMPARE(gotText, text);
    QCOMPARE(gotCommand, command);
}

void TestToolRules::rtcSetCommandTakesLocalTime()
{
    // The same instant handed over in UTC still gives the local wall clock.
    const QDateTime local(QDate(2026, 12, 5), QTime(13, 52, 10));
    QCOMPARE(tools::rtcSetCommand(local.toUTC()), QStringLiteral("SET_RTC &H20261205 : SET_RTC &H00135210"));
}

void TestToolRules::cleanMonReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("cleaned");

    // The prompt's "#" goes only after the line breaks were trimmed, so the
    // line break before it stays; the pieces are trimmed one by one later.
    QTest::newRow("controller shape") << "\r\nTASK 0 RUN [10]\r\nTASK 1 STOP [20]\r\n#"
                                      << "TASK 0 RUN [10]\r\nTASK 1 STOP [20]\r\n";
    QTest::newRow("breakpoint prompt") << "\r\nTASK 0 BREAK [30]\r\n#?" << "TASK 0 BREAK [30]\r\n";
    QTest::newRow("question mark stays elsewhere") << "\r\nA? [B]\r\n#" << "A? [B]\r\n";
    QTest::newRow("tabs removed") << "\r\nTASK\t0\t[10]\r\n#" << "TASK0[10]\r\n";
    QTest::newRow("hash inside removed") << "\r\nNO#1 [10]\r\n#" << "NO1 [10]\r\n";
    QTest::newRow("blanks at the ends stay") << "\r\n  X [1]  \r\n#" << "  X [1]  \r\n";
    QTest::newRow("only the prompt") << "\r\n#" << "";
    QTest::newRow("empty") << "" << "";
}

void TestToolRules::cleanMonReply()
{
    QFETCH(QString, reply);
    QFETCH(QString, cleaned);
    QCOMPARE(tools::cleanMonReply(reply), cleaned);
}

void TestToolRules::parseMonPieces_data()
{
    QTest::addColumn<QString>("cleaned");
    QTest::addColumn<QStringList>("pieces");

    QTest::newRow("three labels, empty tail")
        << "TASK 0 RUN [10]\r\nTASK 1 RUN [*SUB]\r\nTASK 2 BREAK [30]"
        << QStringList{"TASK 0 RUN|10", "TASK 1 RUN|*SUB", "TASK 2 BREAK|30"};
    QTest::newRow("piece without bracket is a line")
        << "TASK 0 RUN [10]\r\nNo other task" << QStringList{"TASK 0 RUN|10", "No other task"};
    QTest::newRow("leading text without label") << "HEADER" << QStringList{"HEADER"};
    QTest::newRow("blanks around head and label") << "  TASK 0   [  10  ]" << QStringList{"TASK 0|10"};
    QTest::newRow("line breaks then blanks trimmed") << "]\r\n  X [7]" << QStringList{"X|7"};
    QTest::newRow("blanks before a line break stay")
        << "]  \r\nX [7]" << QStringList{"\r\nX|7"};
    QTest::newRow("empty pieces dropped") << "]]  ]\r\n]" << QStringList{};
    QTest::newRow("empty label still asks") << "TASK 3 [ ]" << QStringList{"TASK 3|"};
    QTest::newRow("no head") << "[10]" << QStringList{"|10"};
    QTest::newRow("second bracket cuts the label") << "A [x [y] B [z]"
                                                   << QStringList{"A|x", "B|z"};
    QTest::newRow("second bracket right away") << "A [[y]" << QStringList{"A|"};
    QTest::newRow("nothing") << "" << QStringList{};
}

void TestToolRules::parseMonPieces()
{
    QFETCH(QString, cleaned);
    QFETCH(QStringList, pieces);
    QCOMPARE(describe(tools::parseMonPieces(cleaned)), pieces);
}

void TestToolRules::cleanListLine_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("line");

    QTest::newRow("controller shape") << "\r\n10\tA=1\r\n#" << "10\tA=1";
    QTest::newRow("hash in the program line") << "\r\n30\tPRINT \"#1\"\r\n#" << "30\tPRINT \"1\"";
    QTest::newRow("breakpoint prompt") << "\r\n30\tEND\r\n#?" << "30\tEND";
    QTest::newRow("question mark kept") << "\r\n40\tPRINT \"?\"\r\n#" << "40\tPRINT \"?\"";
    QTest::newRow("error reply kept with its tab") << "\r\n\tNo line\r\n#" << "\tNo line";
    QTest::newRow("only the prompt") << "\r\n#" << "";
}

void TestToolRules::cleanListLine()
{
    QFETCH(QString, reply);
    QFETCH(QString, line);
    QCOMPARE(tools::cleanListLine(reply), line);
}

void TestToolRules::buildMonListing_data()
{
    QTest::addColumn<QString>("monReply");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("listing");

    QTest::newRow("three labels")
        << "\r\nTASK 0 RUN [10]\r\nTASK 1 RUN [*SUB]\r\nTASK 2 BREAK [30]\r\n#?"
        << QStringList{"LIST 10 1", "LIST *SUB 1", "LIST 30 1"}
        << QStringList{"\r\n10\tA=1\r\n#", "\r\n20\t*SUB\r\n#", "\r\n30\tPRINT \"#1\"\r\n#?"}
        << "TASK 0 RUN\t   10\tA=1\r\n"
           "TASK 1 RUN\t   20\t*SUB\r\n"
           "TASK 2 BREAK\t   30\tPRINT \"1\"\r\n";
    QTest::newRow("text without label passes through")
        << "\r\nTASK 0 RUN [10]\r\nEND OF LIST\r\n#" << QStringList{"LIST 10 1"}
        << QStringList{"\r\n10\tGOTO 10\r\n#"} << "TASK 0 RUN\t   10\tGOTO 10\r\nEND OF LIST\r\n";
    QTest::newRow("tabs of the monitor reply go")
        << "\r\nTASK\t5 [\t40\t]\r\n#" << QStringList{"LIST 40 1"} << QStringList{"\r\n40\tEND\r\n#"}
        << "TASK5\t   40\tEND\r\n";
    QTest::newRow("no task") << "\r\n#" << QStringList{} << QStringList{} << "";
}

void TestToolRules::buildMonListing()
{
    QFETCH(QString, monReply);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, replies);
    QFETCH(QString, listing);

    QStringList sent;
    const auto result = tools::buildMonListing(monReply, [&](const QString &command) -> std::optional<QString> {
        const qsizetype i = sent.size();
        sent << command;
        return i < replies.size() ? replies.at(i) : QStringLiteral("\r\n#");
    });
    QCOMPARE(sent, commands);
    QVERIFY(result.has_value());
    QCOMPARE(*result, listing);
}

void TestToolRules::buildMonListingStopsAtFailedExchange()
{
    QStringList sent;
    const auto result = tools::buildMonListing(
        QStringLiteral("\r\nA [1]\r\nB [2]\r\nC [3]\r\n#"), [&](const QString &command) -> std::optional<QString> {
            sent << command;
            if (command == QLatin1String("LIST 2 1"))
                return std::nullopt;
            return QStringLiteral("\r\nx\r\n#");
        });
    QVERIFY(!result.has_value());
    QCOMPARE(sent, (QStringList{"LIST 1 1", "LIST 2 1"}));
}

QTEST_GUILESS_MAIN(TestToolRules)
#include "test_toolrules.moc"
