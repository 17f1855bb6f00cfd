#include "journal/operatorlog.h"

#include "journal/transcript.h"

#include <QRegularExpression>
#include <QStringList>

namespace journal {

namespace {

// How far back the time of day must step between two entries to be read as
// the next day.
constexpr int kMidnightStepMs = 12 * 60 * 60 * 1000;

QString csvField(const QString &s)
{
    // A leading = + - @ would be read as a formula by a spreadsheet.
    QString v = s;
    if (!v.isEmpty() && QStringLiteral("=+-@").contains(v.front()))
        v.prepend(QLatin1Char('\''));
    if (v.contains(QLatin1Char(',')) || v.contains(QLatin1Char('"')) || v.contains(QLatin1Char('\n')) ||
        v.contains(QLatin1Char('\'')))
        return QLatin1Char('"') + v.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return v;
}

} // namespace

QString toCsv(const QList<OperatorEntry> &entries)
{
    QString out = QStringLiteral("Time,Page,Action\r\n");
    for (const OperatorEntry &e : entries) {
        out += csvField(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))) + QLatin1Char(',') +
               csvField(e.page) + QLatin1Char(',') + csvField(e.what) + QStringLiteral("\r\n");
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
        // A session that runs past midnight. Records a moment out of order, a
        // clock set back by the network or the autumn change of the clocks
        // step back too, but by far less than a day.
        if (last.isValid() && e->time.msecsTo(last) > kMidnightStepMs)
            date = date.addDays(1);
        last = e->time;
        if (e->kind == Entry::Kind::Operator)
            out << OperatorEntry{QDateTime(date, e->time), e->page, e->text};
    }
    return out;
}

} // namespace journal
