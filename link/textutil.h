// Small text rules used by every subsystem: what counts as an integer, and
// the two kinds of trimming (line breaks vs. blanks).
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace text {

// Optional sign then decimal digits, nothing else, within 64 bits.
std::optional<qint64> parseInt(const QString &s);
inline bool isInt(const QString &s)
{
    return parseInt(s).has_value();
}
// parseInt of the text without its blanks at either end, or a fallback.
qint64 intOr(const QString &s, qint64 fallback);
// Optional sign then hexadecimal digits (either case), nothing else.
std::optional<qint64> parseHex(const QString &s);

// Line-break characters: U+000A..U+000D, U+0085, U+2028, U+2029.
bool isNewline(QChar c);
// Blanks: space separators and the tab (not line breaks).
bool isBlank(QChar c);
// One line of text: no line break and no other control character but the tab.
bool isOneLine(QStringView s);
// A name, value or address that a field puts into a command holds no ":",
// which would begin a statement of its own (a poll would run it every tick).
bool isOneOperand(QStringView s);

QString trimNewlines(const QString &s);
QString trimBlanks(const QString &s);
// Line breaks and blanks together, from both ends.
QString trimAll(const QString &s);

// Split at every single occurrence of `sep` (empty pieces kept).
QStringList splitKeep(const QString &s, const QString &sep);

// "&H" + the low 32 bits as eight upper-case hexadecimal digits.
QString hex8(qint64 v);
// The low 32 bits in upper-case hexadecimal, at least `width` digits, no prefix.
QString hexWidth(qint64 v, int width);

} // namespace text
