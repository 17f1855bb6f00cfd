// Compare before load: the listed changes lead from the controller's table to
// the file's (each entry once, the last line winning, blanks collapsed as a load
// may respace them, an entry at zero no entry); a program diff keeps both programs in order, also past the
// line table's size (hence a long -max_len).
#include "fuzzinput.h"

#include "link/textutil.h"
#include "transfer/compare.h"

#include <QHash>
#include <QSet>
#include <algorithm>

using namespace transfer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const auto kind = static_cast<Kind>(in.byte() % 3);
    const QString listing = in.text();
    const QString file = in.rest();
    const QStringList before = listedLines(listing, kind);
    const QStringList after = loadedLines(file, kind);

    if (kind == Kind::Program) {
        const ProgramComparison p = comparePrograms(before, after);
        QStringList sides[2]; // Same and Removed lines: the controller's; Same and Added: the file's
        int added = 0;
        int removed = 0;
        for (const LineChange &l : p.lines) {
            added += l.kind == LineChange::Kind::Added;
            removed += l.kind == LineChange::Kind::Removed;
            for (int s = 0; s < 2; ++s)
                if (l.kind != (s ? LineChange::Kind::Removed : LineChange::Kind::Added))
                    sides[s] << l.text.simplified();
        }
        for (int s = 0; s < 2; ++s) {
            QStringList lines = s ? after : before;
            for (QString &line : lines)
                line = line.simplified();
            fuzz::check(sides[s] == lines,
                        s ? "the file's program is not kept" : "the controller's program is not kept",
                        s ? file : listing);
        }
        fuzz::check(added == p.added && removed == p.removed, "program counts");
        fuzz::check(comparePrograms(before, before).identical(), "a program differs from itself", listing);
        return 0;
    }
    const TableComparison t = compareTables(before, after);
    const auto table = [](const QStringList &lines) {
        QHash<QString, QString> values;
        for (const QString &line : lines) {
            const TableEntry e = tableEntry(line);
            values.insert(e.key, e.value.simplified());
        }
        // A table holds no zero point or word (a load clears it first).
        values.removeIf([](const auto &entry) {
            const QStringList words = entry.value().split(' ', Qt::SkipEmptyParts);
            return !words.isEmpty() && std::all_of(words.cbegin(), words.cend(), [](const QString &w) {
                return text::parseInt(w) == qint64(0);
            });
        });
        return values;
    };
    QHash<QString, QString> applied = table(before);
    const QHash<QString, QString> wanted = table(after);
    QSet<QString> seen;
    int counted[3] = {0, 0, 0};
    for (const EntryChange &c : t.changes) {
        fuzz::check(!seen.contains(c.key), "an entry changes twice", c.key);
        seen.insert(c.key);
        ++counted[static_cast<int>(c.kind)];
        const bool added = c.kind == EntryChange::Kind::Added;
        fuzz::check(applied.contains(c.key) != added,
                    added ? "an entry the controller has is added" : "an entry the controller lacks changes",
                    c.key);
        if (c.kind == EntryChange::Kind::Removed)
            applied.remove(c.key);
        else
            applied.insert(c.key, c.fileValue.simplified());
    }
    fuzz::check(applied == wanted, "the changes do not lead from the controller's table to the file's", file);
    fuzz::check(counted[0] == t.added && counted[1] == t.removed && counted[2] == t.changed, "table counts");
    return 0;
}
