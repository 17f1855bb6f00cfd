#include "transfer/compare.h"

#include "link/textutil.h"
#include "transfer/fileformat.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QStringView>
#include <algorithm>
#include <vector>

namespace transfer {

namespace {

// Entries sort by the first number in their name (the point, the address),
// with its minus sign, then by the name.
qint64 entryNumber(const QString &key)
{
    qsizetype start = 0;
    while (start < key.size() && !key.at(start).isDigit())
        ++start;
    qsizetype end = start;
    while (end < key.size() && key.at(end).isDigit())
        ++end;
    if (start > 0 && key.at(start - 1) == QLatin1Char('-'))
        --start;
    return QStringView(key).mid(start, end - start).toLongLong();
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

// The program the line load leaves on the controller. A line whose first
// word is a number is stored at that number (a number alone deletes the line
// there); any other line goes after the last.
QStringList asStored(const QStringList &sent)
{
    static const QRegularExpression numbered(QStringLiteral("^([+-]?\\d+)(?:\\s+(.*))?$"));
    const auto numberOf = [](const QString &line) { return numbered.match(line); };
    if (std::none_of(sent.cbegin(), sent.cend(),
                     [&](const QString &line) { return numberOf(line).hasMatch(); }))
        return sent;
    QMap<qint64, QString> stored;
    for (const QString &line : sent) {
        const QRegularExpressionMatch m = numberOf(line);
        const std::optional<qint64> n = m.hasMatch() ? text::parseInt(m.captured(1)) : std::nullopt;
        if (n) {
            const QString statement = m.captured(2).trimmed();
            if (statement.isEmpty())
                stored.remove(*n);
            else
                stored.insert(*n, statement);
        } else {
            stored.insert(stored.isEmpty() ? 10 : stored.lastKey() + 10, line);
        }
    }
    return stored.values();
}

} // namespace

QStringList loadedLines(const QString &fileText, Kind kind, Origin origin)
{
    const Traits rules = traits(kind, origin);
    QStringList lines;
    for (const QString &raw : splitLines(fileText)) {
        const LoadLine line = cleanLoadLine(raw, rules);
        if (line.action == LineAction::Send)
            lines << line.text;
    }
    return kind == Kind::Program && origin == Origin::File ? asStored(lines) : lines;
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
    const QRegularExpressionMatch m =
        t.startsWith(QLatin1String("SETP")) ? setp.match(t) : QRegularExpressionMatch();
    if (m.hasMatch())
        return TableEntry{m.captured(1).simplified(), m.captured(2)};
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return TableEntry{t, QString()};
    TableEntry e{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
    // A word written as a signed Int is the unsigned word the controller
    // lists (-1 is 65535): compared as that word, it is no change.
    static const QRegularExpression word(QStringLiteral("^MBK\\((.*)~(?:Int|Wrd)\\)$"));
    const QRegularExpressionMatch w = word.match(e.key);
    const std::optional<qint64> v = w.hasMatch() ? text::parseInt(e.value) : std::nullopt;
    if (v && *v >= -32768 && *v <= 65535)
        e = TableEntry{QStringLiteral("MBK(%1~Wrd)").arg(w.captured(1)), QString::number(*v & 0xFFFF)};
    return e;
}

TableComparison compareTables(const QStringList &controller, const QStringList &file)
{
    // The last line of an entry wins, as it does when the lines are sent.
    const auto table = [](const QStringList &lines) {
        QHash<QString, QString> values;
        values.reserve(lines.size());
        QStringList order;
        order.reserve(lines.size());
        for (const QString &line : lines) {
            const TableEntry e = tableEntry(line);
            if (!values.contains(e.key))
                order << e.key;
            values.insert(e.key, e.value);
        }
        // A point or word that ends at zero is not in the table: the load
        // clears it first, and the controller lists none.
        order.removeIf([&values](const QString &key) {
            const QStringList words = values.value(key).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const bool zero = !words.isEmpty() &&
                              std::all_of(words.cbegin(), words.cend(),
                                          [](const QString &w) { return text::parseInt(w) == qint64(0); });
            if (zero)
                values.remove(key);
            return zero;
        });
        return std::make_pair(values, order);
    };
    const auto [before, beforeOrder] = table(controller);
    const auto [after, afterOrder] = table(file);

    TableComparison c;
    c.changes.reserve(afterOrder.size() + beforeOrder.size());
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
    // Each number found once: a listing can hold hundreds of thousands of lines.
    std::vector<std::pair<qint64, qsizetype>> order;
    order.reserve(static_cast<size_t>(c.changes.size()));
    for (qsizetype i = 0; i < c.changes.size(); ++i)
        order.emplace_back(entryNumber(c.changes.at(i).key), i);
    std::stable_sort(order.begin(), order.end(), [&c](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first
                                  : c.changes.at(a.second).key < c.changes.at(b.second).key;
    });
    QVector<EntryChange> sorted;
    sorted.reserve(c.changes.size());
    for (const auto &o : order)
        sorted.append(std::move(c.changes[o.second]));
    c.changes = std::move(sorted);
    return c;
}

ProgramComparison comparePrograms(const QStringList &controller, const QStringList &file)
{
    ProgramComparison c;
    const auto spaced = [](const QStringList &lines) {
        QStringList out;
        out.reserve(lines.size());
        for (const QString &line : lines)
            out << sameSpacing(line);
        return out;
    };
    const QStringList before = spaced(controller);
    const QStringList after = spaced(file);
    // Indices into controller and file alike.
    const auto sameAt = [&](qsizetype i, qsizetype j) { return before.at(i) == after.at(j); };
    // The common head and tail need no table.
    qsizetype head = 0;
    while (head < controller.size() && head < file.size() && sameAt(head, head))
        ++head;
    qsizetype tail = 0;
    while (tail < controller.size() - head && tail < file.size() - head &&
           sameAt(controller.size() - 1 - tail, file.size() - 1 - tail))
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
                at(i, j) =
                    sameAt(head + i, head + j) ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
        }
        qsizetype i = 0;
        qsizetype j = 0;
        while (i < n && j < m) {
            if (sameAt(head + i, head + j)) {
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
