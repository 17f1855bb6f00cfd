// Compare before load: a table compared with itself is identical, the counts
// are the changes listed, and a program diff keeps both programs: its Same and
// Removed lines are the controller's statements, its Same and Added lines the
// file's, each in order.
#include "fuzzinput.h"

#include "transfer/compare.h"

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
        QStringList controllerSide;
        QStringList fileSide;
        int added = 0;
        int removed = 0;
        for (const LineChange &l : p.lines) {
            if (l.kind != LineChange::Kind::Added)
                controllerSide << l.text.simplified();
            if (l.kind != LineChange::Kind::Removed)
                fileSide << l.text.simplified();
            added += l.kind == LineChange::Kind::Added;
            removed += l.kind == LineChange::Kind::Removed;
        }
        QStringList b;
        for (const QString &s : before)
            b << s.simplified();
        QStringList a;
        for (const QString &s : after)
            a << s.simplified();
        fuzz::check(controllerSide == b, "the controller's program is not kept", listing);
        fuzz::check(fileSide == a, "the file's program is not kept", file);
        fuzz::check(added == p.added && removed == p.removed, "program counts");
        fuzz::check(comparePrograms(before, before).identical(), "a program differs from itself", listing);
        return 0;
    }
    const TableComparison t = compareTables(before, after);
    fuzz::check(t.added + t.removed + t.changed == t.changes.size(), "table counts");
    fuzz::check(compareTables(after, after).identical(), "a table differs from itself", file);
    return 0;
}
