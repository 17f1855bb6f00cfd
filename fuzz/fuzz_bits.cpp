// Bit replies: a reading is the reply's first line as a number, the value label
// its low 32 bits, lamps follow their bits, a bank's bit numbers are consecutive.
#include "fuzzinput.h"

#include "monitor/banks.h"
#include "monitor/bits.h"

using namespace monitor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    // The popups are built once, as the window builds them.
    static const QStringList allTitles[6] = {bankTitles(BitGroup::Outputs),   bankTitles(BitGroup::Inputs),
                                             bankTitles(BitGroup::Relays),    bankTitles(BitGroup::MbkBits),
                                             bankTitles(BitGroup::CuOutputs), bankTitles(BitGroup::CuInputs)};
    const int g = in.byte() % 6;
    const auto group = static_cast<BitGroup>(g);
    const QStringList &titles = allTitles[g];
    const QString title = titles.at(in.byte() % titles.size());
    const QString reply = in.rest();

    const auto value = parseBitReply(reply);
    if (value) { // the whole first line, blanks aside
        const QString first = text::trimBlanks(text::trimNewlines(reply)).section(QLatin1Char('\r'), 0, 0);
        fuzz::check(QString::number(*value) == QString::number(*text::parseInt(first)), "reading", first);
    }
    const auto d = bitDisplay(group, reply, bankWord(title));
    fuzz::check(d.has_value() == value.has_value(), "a popup bank was refused", title);
    if (!d)
        return 0;
    fuzz::check(d->bits == *value, "lamp word");
    fuzz::check(d->value.startsWith(QStringLiteral("&H")), "value label", d->value);
    fuzz::check(text::parseHex(d->value.mid(2)) == qint64(fuzz::low32(*value)), "value label reads back",
                d->value);
    fuzz::check(d->numbers.size() == lampCount(group), "label count");
    const auto n0 = text::parseInt(d->numbers.at(0));
    fuzz::check(n0.has_value(), "bit number");
    for (int k = 1; k < d->numbers.size(); ++k) {
        const auto nk = text::parseInt(d->numbers.at(k));
        fuzz::check(nk && (*nk - *n0 == k || *n0 - *nk == k), "bit numbers not consecutive",
                    d->numbers.join(','));
    }
    fuzz::check(title.contains(d->numbers.first()) && title.contains(d->numbers.last()),
                "the bank title lacks its highest or lowest bit number", title);
    return 0;
}
