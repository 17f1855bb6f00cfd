// MBK and task replies: a shown value is the reply's own (hexadecimal: low 32 bits), step and
// status are the second line's words as written, no address or row arithmetic overflows.
#include "fuzzinput.h"

#include "panels/mbk.h"
#include "panels/replies.h"
#include "panels/tasks.h"

using namespace panels;

namespace {

void checkMbkReply(const QString &reply, bool hex)
{
    const QString shown = mbkDisplay(reply, hex);
    const QString cleaned = stringmodify(reply);
    const auto value = text::parseInt(cleaned);
    if (hex && value)
        fuzz::checkHexWord(shown, *value, "hex value");
    else // decimal, or words that are not one number: shown as cleaned
        fuzz::check(shown == cleaned, "mbk display differs from the reply", shown);
}

void checkTaskReply(const QString &reply)
{
    const TaskValues v = parseTaskReply(reply);
    const QStringList lines = text::splitKeep(reply, QStringLiteral("\r\n"));
    // The controller's refusal is a TAB-led line: never a step.
    const bool refused = lines.size() >= 2 && lines.at(1).startsWith(QLatin1Char('\t'));
    if (!v.step) {
        fuzz::check(!v.status, "status without step");
        fuzz::check(lines.size() < 2 || refused || text::trimBlanks(lines.at(1)).isEmpty(), "step lost",
                    reply);
        return;
    }
    fuzz::check(!refused, "a refusal shown as a step", reply);
    const QString line = text::trimBlanks(lines.at(1));
    fuzz::check(!v.step->contains(QLatin1Char(' ')), "blank inside step", *v.step);
    QString rebuilt = *v.step;
    if (v.status) {
        fuzz::check(!v.status->contains(QLatin1Char(' ')), "blank inside status", *v.status);
        rebuilt += QLatin1Char(' ') + *v.status;
    }
    fuzz::check(line == rebuilt || line.startsWith(rebuilt + QLatin1Char(' ')), "step/status not the line's",
                line);
}

void checkLayout(qint64 n, MbkSize size)
{
    if (const auto rows = mbkRowAddresses(n, size)) {
        for (int r = 0; r < 8; ++r) {
            const QString &t = (*rows)[static_cast<size_t>(r)];
            if (size == MbkSize::Lng && r % 2 == 1) {
                fuzz::check(t.isEmpty(), "second half of a long entry has an address");
                continue;
            }
            fuzz::check(text::parseInt(t) == n + r, "row address", t);
        }
    } else {
        fuzz::check(n > kMbkMaxStart, "layout refused");
    }
    if (const auto rows = taskRows(n)) {
        for (int r = 0; r < 8; ++r)
            fuzz::check(text::parseInt((*rows)[static_cast<size_t>(r)]) == n + r, "task row");
    }
    const QString taskText = QString::number(n);
    if (const auto cmd = taskReadCommand(taskText)) {
        fuzz::check(cmd->endsWith(QStringLiteral(" TASK(") + taskText + QStringLiteral("|256)")),
                    "task read command", *cmd);
        const auto a = taskAddress(n);
        fuzz::check(a.has_value(), "command without address");
        if (n >= 0 && n < 64)
            fuzz::check(*a >= kTaskAreaStart && *a < kTaskAreaStart + kTaskAreaWords &&
                            (*a - kTaskAreaStart) % 2 == 0,
                        "task step outside the task area");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t mode = in.byte();
    const qint64 n = in.int64();
    checkLayout(n, static_cast<MbkSize>(mode % 4));
    const QString reply = in.rest();
    checkMbkReply(reply, mode & 4);
    checkTaskReply(reply);
    return 0;
}
