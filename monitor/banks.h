// The bank popups of the bit pages and the selection lists of the axis page.
#pragma once

#include <QString>
#include <QStringList>

namespace monitor {

enum class BitGroup { Outputs, Inputs, Relays, MbkBits, CuOutputs, CuInputs };

// Item titles of a bank popup, in item order: bank word + " ( " + highest bit + " .. " + bit 0 + " )".
QStringList bankTitles(BitGroup group);
// The bank word of an item title: the text before its first blank (all of it without one).
QString bankWord(const QString &title);
// Absolute number of lamp k of bank b.
qint64 bitNumber(BitGroup group, qint64 bank, int k);

QStringList boardTitles();        // "None", "0" … "17"
QStringList registerTitles();     // the register expressions of the axis query
QStringList pulseTitles();        // "1" … "10000"
QStringList accelerationTitles(); // "100" … "10000"
inline const QString kDefaultPulse = QStringLiteral("10");
inline const QString kDefaultAcceleration = QStringLiteral("1000");

} // namespace monitor
