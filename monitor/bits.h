// The bit pages: what one "PR IN(...)" reply means for a group of lamps, and
// which command each forcing button sends.
#pragma once

#include "monitor/banks.h"
#include "ui/plotprobe.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace monitor {

// Lamps per group: sixteen for the MBK bit word, eight otherwise.
int lampCount(BitGroup group);
// Appended to the bank word in the query: "~Wrd" for the MBK bit word only.
QString bankCast(BitGroup group);
// "PR IN(" + bank word + cast + ")".
QString bitQuery(const QString &bankWord, const QString &cast);

// The reading of a bit reply: the first line of the trimmed text as a whole
// decimal integer, or nothing (error texts, partial replies, hexadecimal).
std::optional<qint64> parseBitReply(const QString &reply);

// Whether lamp k shows its bit set.
inline bool lampOn(qint64 value, int k)
{
    return ((value >> k) & 1) != 0;
}

// "&H" + the value in upper-case hexadecimal, two digits (four for the MBK
// word) at least; like "%X", only the low 32 bits count.
QString bitValueText(BitGroup group, qint64 value);

enum class LampColour { Red, Green, Orange };
LampColour onColour(BitGroup group);
// The word a bit lamp's accessible name starts with, before its bit number
// ("OUT" in "OUT 19 on").
QString lampWord(BitGroup group);

// Everything a display operation writes for one reply.
struct BitDisplay
{
    QStringList numbers; // text of bit number label k
    QString value;       // text of the value label
    qint64 bits = 0;     // lamp k lit when lampOn(bits, k)
};
// Nothing when the reply or the bank word is not a decimal integer: the
// group's labels then keep their last reading.
std::optional<BitDisplay> bitDisplay(BitGroup group, const QString &reply, const QString &bankWord);

// ---- forcing buttons -------------------------------------------------------

// What a group's "clear all" button sends; empty for a group that cannot be
// forced (the inputs).
QString clearCommand(BitGroup group);

// What an ON or OFF button under a lamp sends: its operand is the bit number
// the lamp showed last, so the command follows the bank on screen.
QString forceCommand(bool on, const QString &bitNumber);

// ---- plotting ---------------------------------------------------------------

// Lamp `lamp` of the bank the group shows (`bankWord` as in its popup), read
// by the group's own bit query; nothing for a bank word that is not a number
// or a lamp the group does not have.
std::optional<ui::PlotProbe> bitProbe(BitGroup group, const QString &bankWord, int lamp);

} // namespace monitor
