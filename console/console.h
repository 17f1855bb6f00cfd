// Console rules that need no widget: clean-up and trimming of the console
// text, the history rule of the command boxes, and the small parsers of
// command entry.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace console {

inline constexpr int kMaxLines = 100;

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

} // namespace console
