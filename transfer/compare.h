// What a load would change: a point or MBK file against the controller's
// listing, entry by entry, and a program file against the controller's
// program, statement by statement (without line numbers).
#pragma once

#include "transfer/kinds.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace transfer {

// The lines of a file as the line load of `kind` would send them.
QStringList loadedLines(const QString &fileText, Kind kind, Origin origin = Origin::File);
// The lines of a listing as the save of `kind` would write them.
QStringList listedLines(const QString &listing, Kind kind);

// One entry of a point or MBK table: "SETP 12 100 0 0 0" is entry
// "SETP 12" with the value "100 0 0 0", "MBK(100~Wrd)=5" entry "MBK(100~Wrd)"
// with "5"; any other line is an entry of its own without a value.
struct TableEntry
{
    QString key;
    QString value;
};
TableEntry tableEntry(const QString &line);

struct EntryChange
{
    enum class Kind { Added, Removed, Changed };
    Kind kind = Kind::Changed;
    QString key;
    QString controllerValue; // empty for an added entry
    QString fileValue;       // empty for a removed entry
};

// From the controller's table to the file's: what loading the file would
// add, remove (a load clears the table first) and change, in the order of
// the entries' numbers.
struct TableComparison
{
    QVector<EntryChange> changes;
    int added = 0;
    int removed = 0;
    int changed = 0;
    bool identical() const { return changes.isEmpty(); }
};
TableComparison compareTables(const QStringList &controller, const QStringList &file);

// A line diff: statements only the controller has (Removed), only the file
// has (Added) and both have (Same), in program order. Blanks count only
// inside string literals: elsewhere the listing's layout may differ from the
// file's.
struct LineChange
{
    enum class Kind { Same, Removed, Added };
    Kind kind = Kind::Same;
    QString text;
};
struct ProgramComparison
{
    QVector<LineChange> lines;
    int added = 0;
    int removed = 0;
    bool identical() const { return added == 0 && removed == 0; }
};
ProgramComparison comparePrograms(const QStringList &controller, const QStringList &file);

} // namespace transfer
