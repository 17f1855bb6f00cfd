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
    void textRules_data();
    void textRules();
    void parseMonPieces_data();
    void parseMonPieces();
    void buildMonListing_data();
    void buildMonListing();
    void buildMonListingStopsAtFailedExchange();
};

void TestToolRules::textRules_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    const auto bkp = [](const char *typed) { return tools::bkpTarget(QString::fromUtf8(typed)); };
    QTest::newRow("bkp step number") << bkp("120") << "120";
    QTest::newRow("bkp signed step") << bkp("-5") << "-5";
    QTest::newRow("bkp plus sign") << bkp("+7") << "+7";
    QTest::newRow("bkp label") << bkp("LOOP1") << "*LOOP1";
    QTest::newRow("bkp starred label kept") << bkp("*LOOP1") << "*LOOP1";
    QTest::newRow("bkp only a star kept") << bkp("*") << "*";
    QTest::newRow("bkp digits then letters") << bkp("12A") << "*12A";
    QTest::newRow("bkp sign alone") << bkp("-") << "*-";
    QTest::newRow("bkp two words") << bkp("10 20") << "*10 20";

    // The prompt's "#" goes only after the line breaks were trimmed, so the
    // line break before it stays; the pieces are trimmed one by one later.
    const auto mon = [](const char *reply) { return tools::cleanMonReply(QString::fromUtf8(reply)); };
    QTest::newRow("mon controller shape") << mon("\r\nTASK 0 RUN [10]\r\nTASK 1 STOP [20]\r\n#")
                                          << "TASK 0 RUN [10]\r\nTASK 1 STOP [20]\r\n";
    QTest::newRow("mon breakpoint prompt") << mon("\r\nTASK 0 BREAK [30]\r\n#?") << "TASK 0 BREAK [30]\r\n";
    QTest::newRow("mon question mark stays elsewhere") << mon("\r\nA? [B]\r\n#") << "A? [B]\r\n";
    QTest::newRow("mon tabs removed") << mon("\r\nTASK\t0\t[10]\r\n#") << "TASK0[10]\r\n";
    QTest::newRow("mon hash inside removed") << mon("\r\nNO#1 [10]\r\n#") << "NO1 [10]\r\n";
    QTest::newRow("mon blanks at the ends stay") << mon("\r\n  X [1]  \r\n#") << "  X [1]  \r\n";
    QTest::newRow("mon only the prompt") << mon("\r\n#") << "";

    const auto list = [](const char *reply) { return tools::cleanListLine(QString::fromUtf8(reply)); };
    QTest::newRow("list hash in the program line") << list("\r\n30\tPRINT \"#1\"\r\n#") << "30\tPRINT \"1\"";
    QTest::newRow("list breakpoint prompt") << list("\r\n30\tEND\r\n#?") << "30\tEND";
    QTest::newRow("list question mark kept") << list("\r\n40\tPRINT \"?\"\r\n#") << "40\tPRINT \"?\"";
    QTest::newRow("list error reply keeps its tab") << list("\r\n\tNo line\r\n#") << "\tNo line";
    QTest::newRow("list only the prompt") << list("\r\n#") << "";

    // Shown text and command under locales whose own formatters would give
    // other digits, separators or orders.
    const auto rtc = [](const char *locale, const QDateTime &when) {
        const QLocale before;
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        const QString got = tools::rtcDateTimeText(when) + QLatin1Char('|') + tools::rtcSetCommand(when);
        QLocale::setDefault(before);
        return got;
    };
    for (const char *loc : {"C", "ja_JP", "de_DE", "ar_EG", "hi_IN"}) {
        QTest::addRow("rtc %s one-digit hour", loc) << rtc(loc, QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3)))
                                                    << "2026/12/05 9:05:03|SET_RTC &H20261205 : SET_RTC &H0090503";
        QTest::addRow("rtc %s two-digit hour", loc) << rtc(loc, QDateTime(QDate(2026, 12, 5), QTime(13, 52, 10)))
                                                    << "2026/12/05 13:52:10|SET_RTC &H20261205 : SET_RTC &H00135210";
    }
    QTest::newRow("rtc midnight") << rtc("C", QDateTime(QDate(2027, 1, 1), QTime(0, 0)))
                                  << "2027/01/01 0:00:00|SET_RTC &H20270101 : SET_RTC &H0000000";
    QTest::newRow("rtc milliseconds ignored") << rtc("C", QDateTime(QDate(2026, 2, 28), QTime(7, 8, 9, 999)))
                                              << "2026/02/28 7:08:09|SET_RTC &H20260228 : SET_RTC &H0070809";
    QTest::newRow("rtc three-digit year padded") << rtc("C", QDateTime(QDate(999, 3, 4), QTime(1, 2, 3)))
                                                 << "0999/03/04 1:02:03|SET_RTC &H09990304 : SET_RTC &H0010203";
    // The same instant handed over in UTC still gives the local wall clock.
    QTest::newRow("rtc UTC input") << rtc("C", QDateTime(QDate(2026, 12, 5), QTime(13, 52, 10)).toUTC())
                                   << "2026/12/05 13:52:10|SET_RTC &H20261205 : SET_RTC &H00135210";
}

void TestToolRules::textRules()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestToolRules::parseMonPieces_data()
{
    QTest::addColumn<QString>("cleaned");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("piece without bracket is a line")
        << "TASK 0 RUN [10]\r\nNo other task" << QStringList{"TASK 0 RUN|10", "No other task"};
    QTest::newRow("blanks around head and label") << "  TASK 0   [  10  ]" << QStringList{"TASK 0|10"};
    QTest::newRow("line breaks then blanks trimmed") << "]\r\n  X [7]" << QStringList{"X|7"};
    QTest::newRow("blanks before a line break stay") << "]  \r\nX [7]" << QStringList{"\r\nX|7"};
    QTest::newRow("empty pieces dropped") << "]]  ]\r\n]" << QStringList{};
    QTest::newRow("empty label still asks") << "TASK 3 [ ]" << QStringList{"TASK 3|"};
    QTest::newRow("no head") << "[10]" << QStringList{"|10"};
    QTest::newRow("second bracket cuts the label") << "A [x [y] B [z]" << QStringList{"A|x", "B|z"};
    QTest::newRow("second bracket right away") << "A [[y]" << QStringList{"A|"};
}

void TestToolRules::parseMonPieces()
{
    QFETCH(QString, cleaned);
    QFETCH(QStringList, pieces);
    QCOMPARE(describe(tools::parseMonPieces(cleaned)), pieces);
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
        << "TASK 0 RUN\t   10\tA=1\r\nTASK 1 RUN\t   20\t*SUB\r\nTASK 2 BREAK\t   30\tPRINT \"1\"\r\n";
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
        sent << command;
        return sent.size() <= replies.size() ? replies.at(sent.size() - 1) : QStringLiteral("\r\n#");
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
