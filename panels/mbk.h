// The memory block panel's rules: entry sizes and their command suffixes,
// the eight-row address layout, and the read and write commands.
#pragma once

#include "ui/plotprobe.h"

#include <QString>
#include <QStringList>
#include <array>
#include <limits>
#include <optional>

namespace panels {

enum class MbkSize { None, Int, Wrd, Lng };

// "~Int", "~Wrd", "~Lng", or empty when no size is chosen.
QString mbkSuffix(MbkSize size);
// "Int", "Wrd", "Lng" (the trace word of a size change), or empty.
QString mbkSizeName(MbkSize size);

// The highest start address the panel lays out. Eight rows from it stay
// within 64 bits whatever the size, so a later size change that lays the rows
// out again from row 0 can never be refused.
constexpr qint64 kMbkMaxStart = std::numeric_limits<qint64>::max() - 7;

// The address texts of rows 0..7 from `start`: a .. a+7, or for Lng a, "",
// a+2, "", ... (one long entry spans two addresses). None when `start` is
// above kMbkMaxStart.
std::optional<std::array<QString, 8>> mbkRowAddresses(qint64 start, MbkSize size);

// "PR MBK(" + address text + suffix + ")".
QString mbkReadCommand(const QString &addressText, MbkSize size);

// The value a row shows for a reply. Hexadecimal shows "&H" + eight digits
// when the cleaned reply is one integer; anything else (an error text, several
// values) shows cleaned but unconverted, so no invented number appears.
QString mbkDisplay(const QString &reply, bool hex);

// "MBK(" + address as typed + suffix + ")=" + value trimmed of blanks; none
// when the address or the value field is empty.
std::optional<QString> mbkWriteCommand(const QString &addressText, const QString &valueText, MbkSize size);

// An MBK row's value, by its address text and the entry size; nothing for a
// row without an address.
std::optional<ui::PlotProbe> mbkProbe(const QString &addressText, MbkSize size);

} // namespace panels
