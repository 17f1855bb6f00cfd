// Console rules that need no widget: clean-up and trimming of the console
// text, the history rule of the command boxes, and the small parsers of
// command entry.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace console {

inline constexpr int kMaxLines = 100;
// And at most this many characters: a controller that floods without line
// feeds cannot make every append rescan megabytes.
inline constexpr qsizetype kMaxConsoleChars = 256 * 1024;
// A controller can print a line of megabytes without a line feed; the console
// keeps all of it, but laying out such a line would stall the window, so the
// view shows only the end of an overlong line. Laying out a line that does not
// break costs far more than its length: 16 K characters took 20-35 ms on
// every append, 2 K about 3 ms (some fourteen rows of a wide window).
inline constexpr qsizetype kMaxShownLine = 2048;

struct Cleaned
{
    QString text;
    bool changed = false; // the text differs from the input
    bool consumedBeginConnect = false;
};

// The clean-up run after every append: collapses the doubled prompt after a
// login once (when beginConnect is set), marks breakpoint stops, and keeps
// the last 100 line-feed-separated pieces.
Cleaned cleanup(const QString &console, bool beginConnect);

// Remove every item equal to t and insert t at the top.
QStringList applyHistory(const QStringList &items, const QString &t);

// The listing start sent after "LIST ": a number as it is, anything else as a
// label with a leading "*".
QString listTarget(const QString &trimmed);

// The program line under the console cursor: tabs made blanks, leading
// prompts dropped. Empty when the line does not start with a line number.
std::optional<QString> programLineFrom(const QString &consoleLine);

// The listing start a console selection offers: the number of the program
// line it holds (a whole listing line, a prompt in front), else its first word.
QString listStartFrom(const QString &selection);

// True when a typed console line only reads: every statement of it (the
// controller takes several on one line, separated by ":" outside quotes)
// starts with one of the read-only command words. An empty line is read-only;
// a line with an unclosed quote is not, whatever it starts with. While the
// watch-only lock is on, only such lines are sent.
bool readOnlyLine(const QString &line);
// True when a statement of a typed console line is a continue ("N") or a
// step ("T"): the line leaves a breakpoint stop, as their buttons do.
bool leavesBreakpoint(const QString &line);

// What the console shows for a line the watch-only lock kept back.
QString notSentNote(const QString &line);
// An action that waited its turn while the lock came on.
QString heldBackNote();

// Console text as the view shows it: CR LF and lone CR become line breaks,
// and the escape character of a breakpoint stop, which has no glyph, goes.
QString displayForm(const QString &s);

// The whole console for the view: its display form with every line longer
// than kMaxShownLine cut to its end behind an ellipsis.
QString viewForm(const QString &model);

} // namespace console
