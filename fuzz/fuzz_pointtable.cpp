// Point table and axis signal replies: each field is the reply's own value (hexadecimal:
// low 32 bits), the fields rejoined give the cleaned reply, row numbers never overflow.
#include "fuzzinput.h"

#include "axis/pointtable.h"
#include "monitor/axissignals.h"
#include "panels/replies.h"

#include <algorithm>

namespace {

void checkShown(const QString &value, const QString &shown, bool hex)
{
    const auto n = text::parseInt(value);
    if (hex && n)
        fuzz::checkHexWord(shown, *n, "hex value");
    else
        fuzz::check(shown == value, "field differs from the value", shown);
}

void checkTable(const QString &reply, bool hex)
{
    const QStringList values = axis::replyValues(reply);
    const QString cleaned = panels::stringmodify(reply);
    fuzz::check(values.join(QLatin1Char(' ')) == cleaned, "values do not rebuild the reply", cleaned);
    const auto fields = axis::tableDisplay(reply, hex);
    fuzz::check(fields.size() == axis::kTableFields, "field count");
    // The controller's refusal (TAB-led) fills no field.
    const bool refused = reply.contains(QLatin1Char('\t'));
    for (int k = 0; k < axis::kTableFields; ++k) {
        fuzz::check(fields.at(k).has_value() == (!refused && k < values.size()),
                    "field kept or overwritten wrongly");
        if (fields.at(k))
            checkShown(values.at(k), *fields.at(k), hex);
    }
}

void checkSignals(const QString &reply)
{
    const monitor::AxisReading r = monitor::parseAxisReply(reply);
    for (const auto &word : {r.lmt, r.hpt}) {
        if (!word)
            continue;
        for (int axis = 0; axis < 4; ++axis) {
            for (int bit : monitor::kHptBits)
                (void)monitor::signalOn(*word, axis, bit);
            for (int bit : monitor::kLmtBits)
                (void)monitor::signalOn(*word, axis, bit);
        }
    }
    if (!r.hasValues)
        return;
    fuzz::check(r.registerText.size() == 8, "register digits", r.registerText);
    // Without its prompt a reply may be cut: it counts up to its last blank or line end.
    QString joined = reply;
    if (!reply.contains(QLatin1String("\n#"))) {
        const auto closed =
            std::find_if(joined.crbegin(), joined.crend(), [](QChar c) { return c.isSpace(); });
        const auto whole = std::find_if(closed, joined.crend(), [](QChar c) { return !c.isSpace(); });
        joined.truncate(joined.crend() - whole);
    }
    joined.remove(QStringLiteral("\r\n#"));
    joined.remove(QStringLiteral("\r\n "));
    const QStringList fields = text::splitKeep(joined, QStringLiteral(" "));
    const auto reg = text::parseInt(fields.value(6));
    fuzz::check(reg && text::parseHex(r.registerText) == qint64(fuzz::low32(*reg)), "register value",
                r.registerText);
    for (int i = 0; i < 4; ++i) {
        fuzz::check(r.positions[static_cast<size_t>(i)] == fields.value(2 + i), "position");
        fuzz::check(r.counters[static_cast<size_t>(i)] == fields.value(7 + i), "counter");
    }
}

void checkRows(qint64 first)
{
    const auto rows = axis::rowPointNumbers(first);
    const auto base = text::parseInt(rows[0]);
    fuzz::check(base.has_value(), "first row");
    for (int r = 1; r < axis::kTableRows; ++r)
        fuzz::check(text::parseInt(rows[static_cast<size_t>(r)]) == *base + r, "row numbers");
    fuzz::check(axis::firstPointFromText(rows[0]) == *base, "first point does not read back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t mode = in.byte();
    checkRows(in.int64());
    const QString reply = in.rest();
    checkTable(reply, mode & 1);
    checkSignals(reply);
    return 0;
}
