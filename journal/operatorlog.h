// The operator journal's entries and their CSV form: plain values, no widgets.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace journal {

struct OperatorEntry
{
    QDateTime time;
    QString page;
    QString what;
};

// "Time,Page,Action" and one row per entry; fields quoted where they need it.
QString toCsv(const QList<OperatorEntry> &entries);

// The entries whose page or words contain `filter` (case-insensitive); all
// for an empty filter.
QList<OperatorEntry> filtered(const QList<OperatorEntry> &entries, const QString &filter);

// The operator lines of a session file's text; the date comes from the file's
// header (or `fallbackDate` when it has none).
QList<OperatorEntry> operatorEntries(const QString &fileText, const QDate &fallbackDate);

} // namespace journal
