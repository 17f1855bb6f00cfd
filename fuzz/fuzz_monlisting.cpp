// The annotated monitor listing: a line per piece, one LIST per label and nothing else,
// no prompt character left, and a failed exchange abandons the listing.
#include "fuzzinput.h"

#include "tools/tools.h"

namespace {
// A reply that is there at once: the listing never suspends.
QCoro::Task<std::optional<QString>> ready(std::optional<QString> reply)
{
    co_return reply;
}

QCoro::Task<> build(QString monReply, tools::Exchange exchange, std::optional<QString> *listing, bool *done)
{
    *listing = co_await tools::buildMonListing(std::move(monReply), std::move(exchange));
    *done = true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const QString monReply = in.text();
    const uint8_t failAt = in.byte();
    int asked = 0;
    bool failed = false;
    const auto exchange = [&](const QString &command) -> QCoro::Task<std::optional<QString>> {
        fuzz::check(command.startsWith(QStringLiteral("LIST ")) && command.endsWith(QStringLiteral(" 1")),
                    "not a listing command", command);
        const QString label = command.mid(5, command.size() - 7);
        fuzz::check(!label.contains(QLatin1Char(']')) && !label.contains(QLatin1Char('#')) &&
                        !label.contains(QLatin1Char('\t')),
                    "label carries foreign characters", label);
        if (++asked == failAt) {
            failed = true;
            return ready(std::nullopt);
        }
        return ready(in.text());
    };
    const auto pieces = tools::parseMonPieces(tools::cleanMonReply(monReply));
    qsizetype labels = 0;
    for (const auto &p : pieces)
        labels += p.label ? 1 : 0;

    std::optional<QString> listing;
    bool done = false;
    build(monReply, exchange, &listing, &done);
    fuzz::check(done, "the listing waited for an answer that was there");
    if (failed) {
        fuzz::check(!listing, "listing survived a failed exchange");
        return 0;
    }
    fuzz::check(listing.has_value(), "listing lost");
    fuzz::check(asked == labels, "one exchange per label");
    fuzz::check(!listing->contains(QLatin1Char('#')), "prompt character in the listing", *listing);
    fuzz::check(listing->isEmpty() || listing->endsWith(QStringLiteral("\r\n")), "last line unterminated");
    fuzz::check(listing->count(QStringLiteral("\r\n")) >= pieces.size(), "fewer lines than pieces");
    return 0;
}
