#include "journal/operatorlog.h"

#include "core/csv.h"
#include "journal/transcript.h"

#include <QRegularExpression>
#include <QStringList>

namespace journal {

QString toCsv(const QList<OperatorEntry> &entries)
{
    using core::CsvField;
    QString out =
        core::csvRecord({CsvField::text(QStringLiteral("Time")), CsvField::text(QStringLiteral("Page")),
                         CsvField::text(QStringLiteral("Action"))});
    for (const OperatorEntry &e : entries) {
        out += core::csvRecord({CsvField::text(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))),
                                CsvField::text(e.page), CsvField::text(e.what)});
    }
    return out;
}

QList<OperatorEntry> filtered(const QList<OperatorEntry> &entries, const QString &filter)
{
    const QString f = filter.trimmed();
    if (f.isEmpty())
        return entries;
    QList<OperatorEntry> out;
    for (const OperatorEntry &e : entries) {
        if (e.what.contains(f, Qt::CaseInsensitive) || e.page.contains(f, Qt::CaseInsensitive))
            out << e;
    }
    return out;
}

QList<OperatorEntry> operatorEntries(const QString &fileText, const QDate &fallbackDate)
{
    static const QRegularExpression header(
        QStringLiteral("^# .*, (\\d{4}-\\d\\d-\\d\\d) \\d\\d:\\d\\d:\\d\\d$"));
    QDate date = fallbackDate;
    QTime last;
    QList<OperatorEntry> out;
    for (const QString &raw : fileText.split(QLatin1Char('\n'))) {
        const QString line = raw.endsWith(QLatin1Char('\r')) ? raw.chopped(1) : raw;
        if (const auto m = header.match(line); m.hasMatch()) {
            date = QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd"));
            continue;
        }
        const auto e = parseLine(line);
        if (!e)
            continue;
        // A session that runs past midnight.
        if (last.isValid() && e->time < last)
            date = date.addDays(1);
        last = e->time;
        if (e->kind == Entry::Kind::Operator)
            out << OperatorEntry{QDateTime(date, e->time), e->page, e->text};
    }
    return out;
}

} // namespace journal
