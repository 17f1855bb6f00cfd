#include "monitor/bits.h"

#include "link/textutil.h"

namespace monitor {

int lampCount(BitGroup group)
{
    return group == BitGroup::MbkBits ? 16 : 8;
}

QString bankCast(BitGroup group)
{
    return group == BitGroup::MbkBits ? QStringLiteral("~Wrd") : QString();
}

QString bitQuery(const QString &bankWord, const QString &cast)
{
    return QStringLiteral("PR IN(") + bankWord + cast + QLatin1Char(')');
}

std::optional<qint64> parseBitReply(const QString &reply)
{
    const QString trimmed = text::trimBlanks(text::trimNewlines(reply));
    const qsizetype cr = trimmed.indexOf(QLatin1Char('\r'));
    return text::parseInt(cr < 0 ? trimmed : trimmed.left(cr));
}

QString bitValueText(BitGroup group, qint64 value)
{
    return QStringLiteral("&H") + text::hexWidth(value, group == BitGroup::MbkBits ? 4 : 2);
}

LampColour onColour(BitGroup group)
{
    switch (group) {
    case BitGroup::Outputs:
    case BitGroup::CuOutputs:
        return LampColour::Red;
    case BitGroup::Inputs:
    case BitGroup::CuInputs:
        return LampColour::Green;
    case BitGroup::Relays:
    case BitGroup::MbkBits:
        return LampColour::Orange;
    }
    return LampColour::Red;
}

QString lampWord(BitGroup group)
{
    switch (group) {
    case BitGroup::Outputs:
        return QStringLiteral("OUT");
    case BitGroup::Inputs:
        return QStringLiteral("IN");
    case BitGroup::Relays:
        return QStringLiteral("RELAY");
    case BitGroup::MbkBits:
        return QStringLiteral("MBK");
    case BitGroup::CuOutputs:
        return QStringLiteral("CU OUT");
    case BitGroup::CuInputs:
        return QStringLiteral("CU IN");
    }
    return QString();
}

std::optional<BitDisplay> bitDisplay(BitGroup group, const QString &reply, const QString &bankWord)
{
    const std::optional<qint64> value = parseBitReply(reply);
    if (!value)
        return std::nullopt;
    // The bank word comes from the popup's own items, so this only guards
    // against a layout that was given foreign titles.
    const std::optional<qint64> bank = text::parseInt(bankWord);
    if (!bank)
        return std::nullopt;
    BitDisplay d;
    for (int k = 0; k < lampCount(group); ++k)
        d.numbers << QString::number(bitNumber(group, *bank, k));
    d.value = bitValueText(group, *value);
    d.bits = *value;
    return d;
}

QString clearCommand(BitGroup group)
{
    switch (group) {
    case BitGroup::Outputs:
        return QStringLiteral("CLR_OUTP 1");
    case BitGroup::Relays:
        return QStringLiteral("CLR_OUTP 8");
    case BitGroup::MbkBits:
        return QStringLiteral("CLR_OUTP 4");
    case BitGroup::CuOutputs:
        return QStringLiteral("CLR_OUTP 2");
    case BitGroup::Inputs:
    case BitGroup::CuInputs:
        break;
    }
    return QString();
}

namespace {
ForceTarget onOff(ForceTarget::Kind kind, BitGroup group, int label)
{
    ForceTarget t;
    t.kind = kind;
    t.group = group;
    t.label = label;
    return t;
}

ForceTarget fixed(const QString &command)
{
    ForceTarget t;
    t.kind = ForceTarget::Kind::Fixed;
    t.command = command;
    return t;
}

// Tags base .. base+count-1 switch bits on, the next `count` tags switch
// the same bits off.
std::optional<ForceTarget> onOffRange(int tag, int base, int count, BitGroup group)
{
    if (tag >= base && tag < base + count)
        return onOff(ForceTarget::Kind::On, group, tag - base);
    if (tag >= base + count && tag < base + 2 * count)
        return onOff(ForceTarget::Kind::Off, group, tag - base - count);
    return std::nullopt;
}
} // namespace

ForceTarget forceTarget(ForceAction action, int tag)
{
    switch (action) {
    case ForceAction::OutOnOff:
        if (auto t = onOffRange(tag, 0, 8, BitGroup::Outputs))
            return *t;
        if (auto t = onOffRange(tag, 20, 8, BitGroup::Relays))
            return *t;
        if (tag == 40)
            return fixed(clearCommand(BitGroup::Outputs));
        if (tag == 41)
            return fixed(clearCommand(BitGroup::Relays));
        break;
    case ForceAction::MbkIoOnOff:
        if (auto t = onOffRange(tag, 0, 16, BitGroup::MbkBits))
            return *t;
        if (tag == 40)
            return fixed(clearCommand(BitGroup::MbkBits));
        break;
    case ForceAction::CuOnOff:
        if (auto t = onOffRange(tag, 0, 8, BitGroup::CuOutputs))
            return *t;
        if (tag == 40)
            return fixed(clearCommand(BitGroup::CuOutputs));
        break;
    case ForceAction::PgHout:
        // Even tags switch general output tag/2 on, odd tags switch it off.
        if (tag >= 0 && tag <= 7)
            return fixed((tag % 2 == 0 ? QStringLiteral("H_ON ") : QStringLiteral("H_OFF ")) +
                         QString::number(tag / 2));
        break;
    }
    return ForceTarget();
}

QString forceCommand(const ForceTarget &target, const QString &bitNumber)
{
    switch (target.kind) {
    case ForceTarget::Kind::None:
        return QString();
    case ForceTarget::Kind::On:
        return QStringLiteral("ON ") + bitNumber;
    case ForceTarget::Kind::Off:
        return QStringLiteral("OFF ") + bitNumber;
    case ForceTarget::Kind::Fixed:
        return target.command;
    }
    return QString();
}

} // namespace monitor
