// Reply cleaners and value formatters of the data panels: what a controller
// answer to "PR ..." becomes on screen, as decimal text, "&H" words, Shift-JIS
// byte codes or styled runs (control characters escaped in grey).
#pragma once

#include <QString>
#include <QVector>

namespace panels {

// A numeric reply without prompt, line-continuation breaks and surrounding
// line breaks ("\r\n 25\r\n#" -> "25"). Blanks stay.
QString stringmodify(const QString &st);

// A string reply without the prompt and the controller's line continuations;
// line breaks that belong to the value stay.
QString stringmodify_string(const QString &st);

// Each token between single spaces as "&H" + eight hexadecimal digits + " ".
// Any token that is not a whole 64-bit decimal integer (an empty one included)
// makes the whole result empty. An empty input gives an empty result.
QString hexTokens(const QString &v);

// The Shift-JIS bytes of `s` as "%02X " each. A character that Shift-JIS
// cannot carry (only U+FFFD from undecodable input can reach here) shows as
// the byte of "?", as a lossy encoder would write it.
QString stringHex(const QString &s);

// One run of the styled string display: escapes and placeholders are grey,
// everything else black. Adjacent runs never share a colour.
struct StyledPiece
{
    QString text;
    bool grey = false;

    friend bool operator==(const StyledPiece &a, const StyledPiece &b)
    {
        return a.text == b.text && a.grey == b.grey;
    }
};
using StyledPieces = QVector<StyledPiece>;

// CR LF -> "\r\n", CR -> "\r", LF -> "\n", TAB -> "\t" (backslash escapes),
// codes 1-8, 11, 12, 14-31 -> U+25A1, all grey; any other character as itself.
StyledPieces styleString(const QString &s);

// `s` with "\n", "\r" and "\t" written as backslash escapes, in that order.
QString escapeString(const QString &s);

// What one variable row shows for a reply: `plain` always; `styled` only for
// a string value shown as text (empty otherwise, and for an empty string).
struct VariableDisplay
{
    QString plain;
    StyledPieces styled;
};
// `name` decides numeric or string (a "$" in it); `hex` is the display type.
VariableDisplay formatVariable(const QString &reply, const QString &name, bool hex);

} // namespace panels
