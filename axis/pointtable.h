// The stored-point table of the axis page: the query for four consecutive
// points, the reply split into the sixteen coordinate fields, and the
// decimal/hexadecimal display of a coordinate.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <optional>

namespace axis {

constexpr int kTableRows = 4;
constexpr int kAxisCount = 4;                         // X, Y, U, Z
constexpr int kTableFields = kTableRows * kAxisCount; // reply order: row 0 X Y U Z, row 1 ...

// "PR P(a) P(b) P(c) P(d)" from the point numbers shown in the four rows.
QString pointQuery(const std::array<QString, kTableRows> &rowPoints);

// The four point numbers of the rows when the first one is `first`, in
// decimal. A first number so large that first + 3 would not fit in 64 bits is
// pulled back so that all four do.
std::array<QString, kTableRows> rowPointNumbers(qint64 first);

// The first point number typed by the user: its integer value, 0 when it does
// not read as a whole decimal integer.
qint64 firstPointFromText(const QString &text);

// The reply, cleaned as every numeric reply is (prompt and line
// continuations removed), split into its values at every single blank (an
// empty piece between two blanks is a value too). A reply with nothing in it
// (a bare prompt) has no values at all.
QStringList replyValues(const QString &reply);

// What one coordinate field shows for a value: the text itself in decimal;
// in hexadecimal "&H" + eight digits of its low 32 bits, or the text unchanged
// when it is not a decimal integer (a made-up number would be worse than the
// controller's own words).
QString coordinateDisplay(const QString &value, bool hex);

// The new text of each of the sixteen fields, in reply order; an empty entry
// means "keep what the field shows" (the reply had fewer values). Values past
// the sixteenth are ignored.
QVector<std::optional<QString>> tableDisplay(const QString &reply, bool hex);

} // namespace axis
