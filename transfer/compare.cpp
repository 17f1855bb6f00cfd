#include "transfer/compare.h"

#include "transfer/fileformat.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace transfer {

namespace {

// Entries sort by the first number in their name (the point, the address),
// then by the name.
qint64 entryNumber(const QString &key)
{
    static const QRegularExpression number(QStringLiteral("-?\\d+"));
    const QRegularExpressionMatch m = number.match(key);
    return m.hasMatch() ? m.captured().toLongLong() : 0;
}

// The file's and the controller's spacing may differ outside string
// literals: there runs of blanks count as one and the ends not at all. Inside
// a literal every blank is what the program prints, and the load sends it as
// it is. A literal left open runs to the end of the line.
QString sameSpacing(const QString &value)
{
    QString out;
    out.reserve(value.size());
    bool quoted = false;
    bool blank = false;
    for (const QChar c : value) {
        if (!quoted && c.isSpace()) {
            blank = true;
            continue;
        }
        if (blank && !out.isEmpty())
            out += QLatin1Char(' ');
        blank = false;
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        out += c;
    }
    return out;
}

} // namespace

QStringList loadedLines(const QString &fileText, Kind kind)
{
    QStringList lines;
    for (const QString &raw : splitLines(fileText)) {
        const LoadLine line = cleanLoadLine(raw, traits(kind));
        if (line.action == LineAction::Send)
            lines << line.text;
    }
    return lines;
}

QStringList listedLines(const QString &listing, Kind kind)
{
    QStringList lines = listingFileText(listing, traits(kind).dropBeforeTab).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

TableEntry tableEntry(const QString &line)
{
    const QString t = line.trimmed();
    static const QRegularExpression setp(QStringLiteral("^(SETP\\s+\\S+)\\s+(.*)$"));
    const QRegularExpressionMatch m = setp.match(t);
    if (m.hasMatch())
        return TableEntry{m.captured(1).simplified(), m.captured(2)};
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq > 0)
        return TableEntry{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
    return TableEntry{t, QString()};
}

TableComparison compareTables(const QStringList &controller, const QStringList &file)
{
    // The last line of an entry wins, as it does when the lines are sent.
    const auto table = [](const QStringList &lines) {
        QHash<QString, QString> values;
        QStringList order;
        for (const QString &line : lines) {
            const TableEntry e = tableEntry(line);
            if (!values.contains(e.key))
                order << e.key;
            values.insert(e.key, e.value);
        }
        return std::make_pair(values, order);
    };
    const auto [before, beforeOrder] = table(controller);
    const auto [after, afterOrder] = table(file);

    TableComparison c;
    for (const QString &key : afterOrder) {
        const QString now = after.value(key);
        if (!before.contains(key)) {
            c.changes.append({EntryChange::Kind::Added, key, QString(), now});
            ++c.added;
        } else if (sameSpacing(before.value(key)) != sameSpacing(now)) {
            c.changes.append({EntryChange::Kind::Changed, key, before.value(key), now});
            ++c.changed;
        }
    }
    for (const QString &key : beforeOrder) {
        if (!after.contains(key)) {
            c.changes.append({EntryChange::Kind::Removed, key, before.value(key), QString()});
            ++c.removed;
        }
    }
    std::stable_sort(c.changes.begin(), c.changes.end(), [](const EntryChange &a, const EntryChange &b) {
        const qint64 na = entryNumber(a.key);
        const qint64 nb = entryNumber(b.key);
        return na != nb ? na < nb : a.key < b.key;
    });
    return c;
}

ProgramComparison comparePrograms(const QStringList &controller, const QStringList &file)
{
    ProgramComparison c;
    const auto same = [](const QString &a, const QString &b) { return sameSpacing(a) == sameSpacing(b); };
    // The common head and tail need no table.
    qsizetype head = 0;
    while (head < controller.size() && head < file.size() && same(controller[head], file[head]))
        ++head;
    qsizetype tail = 0;
    while (tail < controller.size() - head && tail < file.size() - head &&
           same(controller[controller.size() - 1 - tail], file[file.size() - 1 - tail]))
        ++tail;
    for (qsizetype i = 0; i < head; ++i)
        c.lines.append({LineChange::Kind::Same, controller[i]});

    const qsizetype n = controller.size() - head - tail;
    const qsizetype m = file.size() - head - tail;
    const auto removed = [&](qsizetype i) {
        c.lines.append({LineChange::Kind::Removed, controller[head + i]});
        ++c.removed;
    };
    const auto added = [&](qsizetype j) {
        c.lines.append({LineChange::Kind::Added, file[head + j]});
        ++c.added;
    };
    // Longest common subsequence of the middle; a middle too large for the
    // table (millions of cells) is shown as replaced as a whole.
    constexpr qsizetype kMaxCells = 4'000'000;
    if (n > 0 && m > 0 && (n + 1) * (m + 1) <= kMaxCells) {
        std::vector<quint32> lcs(static_cast<size_t>((n + 1) * (m + 1)), 0);
        const auto at = [&](qsizetype i, qsizetype j) -> quint32 & {
            return lcs[static_cast<size_t>(i * (m + 1) + j)];
        };
        for (qsizetype i = n - 1; i >= 0; --i) {
            for (qsizetype j = m - 1; j >= 0; --j)
                at(i, j) = same(controller[head + i], file[head + j]) ? at(i + 1, j + 1) + 1
                                                                      : std::max(at(i + 1, j), at(i, j + 1));
        }
        qsizetype i = 0;
        qsizetype j = 0;
        while (i < n && j < m) {
            if (same(controller[head + i], file[head + j])) {
                c.lines.append({LineChange::Kind::Same, controller[head + i]});
                ++i;
                ++j;
            } else if (at(i + 1, j) >= at(i, j + 1)) {
                removed(i++);
            } else {
                added(j++);
            }
        }
        while (i < n)
            removed(i++);
        while (j < m)
            added(j++);
    } else {
        for (qsizetype i = 0; i < n; ++i)
            removed(i);
        for (qsizetype j = 0; j < m; ++j)
            added(j);
    }
    for (qsizetype i = controller.size() - tail; i < controller.size(); ++i)
        c.lines.append({LineChange::Kind::Same, controller[i]});
    return c;
}

} // namespace transfer
