// The tools' rules without a window: breakpoint targets, the clock under any locale, the monitor listing.
#include "tools/tools.h"

#include <QLocale>
#include <QStringList>
#include <QTest>

namespace {

struct RuleRow
{
    const char *name, *in, *out;
};

void ruleRows(const char *prefix, QString (*rule)(const QString &), std::initializer_list<RuleRow> rows)
{
    for (const RuleRow &r : rows)
        QTest::addRow("%s %s", prefix, r.name) << rule(QString::fromUtf8(r.in)) << QString::fromUtf8(r.out);
}

// An answer that is there at once: the listing never suspends.
QCoro::Task<std::optional<QString>> ready(std::optional<QString> reply)
{
    co_return reply;
}

QCoro::Task<> build(QString monReply, tools::Exchange exchange, std::optional<QString> *result)
{
    *result = co_await tools::buildMonListing(std::move(monReply), std::move(exchange));
}
} // namespace

class TestToolRules : public QObject
{
    Q_OBJECT

private slots:
    void textRules_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        ruleRows("bkp", tools::bkpTarget,
                 {{"signed step", "-5", "-5"},
                  {"starred label kept", "*LOOP1", "*LOOP1"},
                  {"digits then letters", "12A", "*12A"},
                  {"sign alone", "-", "*-"},
                  {"two words", "10 20", "*10 20"}});
        // The prompt's "#" goes after the line breaks were trimmed, so the one before it stays.
        ruleRows("mon", tools::cleanMonReply,
                 {{"breakpoint prompt", "\r\nTASK 0 BREAK [30]\r\n#?", "TASK 0 BREAK [30]\r\n"},
                  {"question mark stays elsewhere", "\r\nA? [B]\r\n#", "A? [B]\r\n"},
                  {"tabs removed", "\r\nTASK\t0\t[10]\r\n#", "TASK0[10]\r\n"},
                  {"hash inside removed", "\r\nNO#1 [10]\r\n#", "NO1 [10]\r\n"},
                  {"blanks at the ends stay", "\r\n  X [1]  \r\n#", "  X [1]  \r\n"}});
        ruleRows("list", tools::cleanListLine,
                 {{"breakpoint prompt", "\r\n30\tEND\r\n#?", "30\tEND"},
                  {"question mark kept", "\r\n40\tPRINT \"?\"\r\n#", "40\tPRINT \"?\""},
                  {"error reply keeps its tab", "\r\n\tNo line\r\n#", "\tNo line"}});

        // A cleaned reply's pieces, "head|label" (or "head" without a label), joined by " / ".
        ruleRows("pieces",
                 [](const QString &cleaned) {
                     QStringList out;
                     for (const tools::MonPiece &p : tools::parseMonPieces(cleaned))
                         out << (p.label ? p.head + QLatin1Char('|') + *p.label : p.head);
                     return out.join(QStringLiteral(" / "));
                 },
                 {{"without bracket is a line", "TASK 0 RUN [10]\r\nNo other task",
                   "TASK 0 RUN|10 / No other task"},
                  {"line breaks then blanks trimmed", "]\r\n  X [7]", "X|7"},
                  {"blanks before a line break stay", "]  \r\nX [7]", "\r\nX|7"},
                  {"empty ones dropped", "]]  ]\r\n]", ""},
                  {"empty label still asks", "TASK 3 [ ]", "TASK 3|"},
                  {"second bracket cuts the label", "A [x [y] B [[z]", "A|x / B|"}});

        // Under locales whose own formatters give other digits, separators or orders.
        const auto rtc = [](const char *locale, const QDateTime &when) {
            const QLocale before;
            QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
            const QString got = tools::rtcDateTimeText(when) + QLatin1Char('|') + tools::rtcSetCommand(when);
            QLocale::setDefault(before);
            return got;
        };
        for (const char *loc : {"ja_JP", "de_DE", "ar_EG", "hi_IN"})
            QTest::addRow("rtc %s one-digit hour", loc)
                << rtc(loc, QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3)))
                << "2026/12/05 9:05:03|SET_RTC &H20261205 : SET_RTC &H0090503";
        QTest::newRow("rtc midnight, milliseconds ignored, year padded")
            << rtc("C", QDateTime(QDate(999, 3, 4), QTime(0, 0, 0, 999)))
            << "0999/03/04 0:00:00|SET_RTC &H09990304 : SET_RTC &H0000000";
        // The same instant handed over in UTC still gives the local wall clock.
        QTest::newRow("rtc UTC input") << rtc("C", QDateTime(QDate(2026, 12, 5), QTime(13, 52, 10)).toUTC())
                                       << "2026/12/05 13:52:10|SET_RTC &H20261205 : SET_RTC &H00135210";
        // Each label asked for, a line without one passed on; a failed LIST ends it, nothing more asked.
        QStringList sent;
        std::optional<QString> listing;
        const tools::Exchange exchange = [&sent](const QString &command) {
            sent << command;
            return ready(sent.size() < 2 ? std::optional<QString>(QStringLiteral("\r\n10\tGOTO 10\r\n#"))
                                         : std::nullopt);
        };
        const auto listed = [&](const char *monReply) {
            sent.clear();
            build(QString::fromLatin1(monReply), exchange, &listing);
            return sent.join('|') + '|' + listing.value_or(QStringLiteral("<failed>"));
        };
        QTest::newRow("mon listing, line without label")
            << listed("\r\nTASK 0 RUN [10]\r\nEND OF LIST\r\n#")
            << "LIST 10 1|TASK 0 RUN\t   10\tGOTO 10\r\nEND OF LIST\r\n";
        QTest::newRow("mon listing, a LIST fails")
            << listed("\r\nTASK 0 STOP [10]\r\nTASK 1 STOP [20]\r\nTASK 2 STOP [30]\r\n#")
            << "LIST 10 1|LIST 20 1|<failed>";
    }
    void textRules()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestToolRules)
#include "test_toolrules.moc"
