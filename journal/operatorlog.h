// The operator journal's entries and their CSV form: plain values, no widgets.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace journal {

struct OperatorEntry
{
    QDateTime time;
    QString page;
    QString what;
    // The controller the line concerns: its address-book name when it was
    // reached by one, else its address; empty when there was no connection.
    QString controller;
};

// "Time,Controller,Page,Action" and one row per entry; fields quoted where
// they need it.
QString toCsv(const QList<OperatorEntry> &entries);

// The entries whose controller, page or words contain `filter`
// (case-insensitive); all for an empty filter.
QList<OperatorEntry> filtered(const QList<OperatorEntry> &entries, const QString &filter);

// The operator lines of a session file, read one line at a time: the date
// comes from the file's header or its last line that starts a new day (or
// `fallbackDate` when it has none) and moves to the next day when the time
// of day steps back by more than 12 hours: midnight, not a clock set back.
// The controller is the one the header names; none without a header.
class OperatorLines
{
public:
    explicit OperatorLines(const QDate &fallbackDate) : m_date(fallbackDate) {}
    // One line of the file, without its line end; the entry it holds.
    std::optional<OperatorEntry> read(const QString &line);

private:
    QDate m_date;
    QTime m_last;
    QString m_controller;
};

// The operator lines of a session file's text.
QList<OperatorEntry> operatorEntries(const QString &fileText, const QDate &fallbackDate);

// How many operator lines of a file are shown at most: the list is filled on
// the main thread, which this many keeps to a few tens of milliseconds.
inline constexpr int kMaxOpenedEntries = 10000;
// A longer line is read only as far as this; the rest is skipped.
inline constexpr qint64 kMaxLineBytes = 1024 * 1024;

struct OperatorFile
{
    QList<OperatorEntry> entries;
    // The file has more than the cap: only the first are here.
    bool capped = false;
    // Why the file could not be read; empty when it was.
    QString error;
};
// Reads the operator lines of the session file at `path`, line by line, up to
// `maxEntries`, until `cancelled()` says stop. Only a regular file is read; it
// is opened without waiting and looked at first, as a FIFO or a device could
// hold the reader for ever.
OperatorFile readOperatorFile(const QString &path, const QDate &fallbackDate, int maxEntries,
                              const std::function<bool()> &cancelled);
// What the reader says of a path that is not a regular file.
QString notASessionFile();

} // namespace journal
