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

QString forceCommand(bool on, const QString &bitNumber)
{
    return (on ? QStringLiteral("ON ") : QStringLiteral("OFF ")) + bitNumber;
}

std::optional<ui::PlotProbe> bitProbe(BitGroup group, const QString &bankWord, int lamp)
{
    bool ok = false;
    const qint64 bank = bankWord.toLongLong(&ok);
    if (!ok || lamp < 0 || lamp >= lampCount(group))
        return std::nullopt;
    ui::PlotProbe p;
    p.label = lampWord(group) + QLatin1Char(' ') + QString::number(bitNumber(group, bank, lamp));
    p.command = bitQuery(bankWord, bankCast(group));
    p.extract = ui::PlotProbe::Extract::Bit;
    p.index = lamp;
    return p;
}

} // namespace monitor
