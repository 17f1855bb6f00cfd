// The commands and confirmation texts of the axis page's operator actions:
// jogging and stopping, teaching, setting and clearing points.
#pragma once

#include <QString>
#include <QStringList>

namespace axis {

// What a button of the jog/action group does, by its tag.
enum class JogAction {
    None,           // a tag without an action
    Move,           // 0, 2, 3, 5, 6, 8, 9, 11
    Stop,           // 1, 4, 7, 10
    Teach,          // 12
    CopyPositions,  // 13
    ClearCounters,  // 14
    CopyCounters,   // 15
    PositionSet,    // 16
    ClearPositions, // 17
};

JogAction jogAction(int tag);

// Tags below 12 belong to the jog pad, and the pad sets the acceleration
// before anything else. The comparison is signed, so a negative tag sets the
// acceleration too (and then does nothing).
bool jogSetsAcceleration(int tag);

// The commands a jog-pad tag sends, in order: the acceleration first (tags
// below 12), then the move or stop of tags 0 … 11. Empty for tags 12 and up,
// whose actions need more than a fixed command.
QStringList jogCommands(int tag, const QString &pulses, const QString &acceleration);

// Teaching: the question asked and the command sent on "Ok". The point number
// is used exactly as typed.
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
