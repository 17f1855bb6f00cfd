// The commands and confirmation texts of the axis page's operator actions:
// jogging and stopping, the H outputs, teaching, setting and clearing points.
#pragma once

#include <QString>
#include <QStringList>

namespace axis {

// The jog pad: three buttons per axis, in the order X, Y, U, Z.
constexpr int kJogAxes = 4;
enum class JogDirection { Minus, Stop, Plus };

// What one pad button sends, in order: the acceleration of all axes, then the
// move of `axis` (0 … 3 for X, Y, U, Z) by `pulses` in `direction`, or its stop.
QStringList jogCommands(int axis, JogDirection direction, const QString &pulses, const QString &acceleration);

// Switching general output `output` (0 … 3) of the board on or off.
QString hOutputCommand(int output, bool on);

// Teaching: the question asked and the command sent on "Ok". The point number
// is used exactly as typed (the page takes none with a ":" in it).
QString teachMessage(const QString &point);
QString teachCommand(const QString &point);

// "SETP n x y u z" from an edit row, each part trimmed of blanks at both ends.
QString pointSetCommand(const QString &point, const QString &x, const QString &y, const QString &u,
                        const QString &z);
// The question before a point-set command is sent.
QString executeMessage(const QString &command);

inline const QString kClearCountersMessage = QStringLiteral("カウンタをクリアします。");
inline const QString kClearPositionsMessage = QStringLiteral("現在値をクリアします。");
inline const QString kClearCountersCommand = QStringLiteral("CLRPOS -1");
inline const QString kClearPositionsCommand = QStringLiteral("CLRPOS ALL_A");
// Point numbers that the copy actions put in the position-set row: 0 writes
// the current positions, -1 the counters.
inline const QString kCurrentPositionPoint = QStringLiteral("0");
inline const QString kCounterPoint = QStringLiteral("-1");

} // namespace axis
