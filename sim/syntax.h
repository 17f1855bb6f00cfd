// The dialect's lexical rules, shared by the interpreter, the dispatcher and
// the program store: names, integers, quoting, parentheses, statement and
// argument splitting, and the 64-bit wrap-around of its arithmetic.
#pragma once

#include <QString>
#include <QStringList>

namespace sim::syntax {

bool isIdentStart(QChar c);
bool isIdentChar(QChar c);

// A plain decimal integer: optional sign, digits, nothing else.
bool parseInteger(const QString &s, qint64 &v);

// Everything up to the first blank.
QString firstWord(const QString &s);

// Index just after the ')' matching the '(' at open, honouring quotes; -1 if none.
int matchParen(const QString &s, int open);

// Splits at top-level occurrences of any of seps (outside quotes and parentheses).
QStringList splitTopLevel(const QString &s, const QString &seps, bool dropEmpty);

// A line's statements: split at ':' outside quotes, each trimmed.
QStringList splitStatements(const QString &line);

// A command's arguments: split at blanks and commas outside quotes and parentheses.
QStringList splitArgs(const QString &args);

// Everything before a "/*" that is not inside a quoted string.
QString stripComment(const QString &line);

// Axis names: X_A, Y_A, U_A, Z_A are 0..3, ALL_A is 4; -1 for anything else.
int axisIndex(const QString &name);

qint64 wrapAdd(qint64 a, qint64 b);
qint64 wrapSub(qint64 a, qint64 b);
qint64 wrapMul(qint64 a, qint64 b);

} // namespace sim::syntax
