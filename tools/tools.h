// Rules of the debug and maintenance tools that need no widget: the
// breakpoint target, the clock-setting command and the annotated monitor
// listing. DebugTools runs the exchanges.
#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

namespace tools {

// ---- breakpoints ------------------------------------------------------------

// The target after "BKP ": a step number as it is, a label with one leading
// "*" (added unless the text already starts with it). `trimmed` has its blanks
// removed already; an empty text is the caller's business.
QString bkpTarget(const QString &trimmed);

// ---- clock ------------------------------------------------------------------

// The local date and time as "YYYY/MM/DD H:MM:SS": four-digit year, two-digit
// month, day, minutes and seconds, the hour without a leading zero. Built by
// hand so that no locale or platform formatter can change the digits.
QString rtcDateTimeText(const QDateTime &dateTime);

// One console line that sets the controller's clock from `dateTime` (taken in
// local time): "SET_RTC &HYYYYMMDD : SET_RTC &H00HMMSS". The controller reads
// the decimal digits as hexadecimal, i.e. as BCD, so the missing leading zero
// of a one-digit hour does not change the value.
QString rtcSetCommand(const QDateTime &dateTime);

// ---- annotated monitor listing ----------------------------------------------

// The monitor reply made ready for splitting: breakpoint prompts made plain,
// line breaks trimmed from both ends, every TAB and every "#" removed.
QString cleanMonReply(const QString &reply);

// One piece of the monitor reply between two "]".
struct MonPiece
{
    QString head;                 // text before "[" (or the whole piece)
    std::optional<QString> label; // text between the first and second "["
};

// Splits a cleaned monitor reply at every "]". Pieces without "[" that are
// empty after trimming are dropped; a piece with "[" is kept even when its
// label is empty (the controller is asked anyway).
QVector<MonPiece> parseMonPieces(const QString &cleaned);

// The command that fetches the program line at a label.
QString listCommand(const QString &label);

// The program line out of a LIST reply: prompts and any other "#" removed,
// line breaks trimmed from both ends (TABs stay).
QString cleanListLine(const QString &reply);

// One output line: the head alone, or the head, TAB and three blanks, and the
// program line; each ends with CR LF.
QString monLine(const QString &head);
QString monLine(const QString &head, const QString &programLine);

// The whole annotated listing. `exchange` sends one command and ends with the
// reply, or nothing when the exchange failed; then the listing is abandoned
// and nothing is returned. The commands go out one after the other, each
// after the previous reply. The result does not yet carry the leading CR LF
// the console gets.
using Exchange = std::function<QCoro::Task<std::optional<QString>>(QString command)>;
QCoro::Task<std::optional<QString>> buildMonListing(QString monReply, Exchange exchange);

} // namespace tools
