// The dialect's lexical rules.
#include "sim/syntax.h"

#include <algorithm>

namespace sim::syntax {

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool parseInteger(const QString &s, qint64 &v)
{
    if (s.isEmpty())
        return false;
    int i = 0;
    if (s.at(0) == QLatin1Char('-') || s.at(0) == QLatin1Char('+'))
        i = 1;
    if (i >= s.size())
        return false;
    for (int k = i; k < s.size(); ++k) {
        if (!s.at(k).isDigit() || s.at(k).unicode() > 127)
            return false;
    }
    bool ok = false;
    v = s.toLongLong(&ok);
    return ok;
}

QString firstWord(const QString &s)
{
    int end = 0;
    while (end < s.size() && !s.at(end).isSpace())
        ++end;
    return s.left(end);
}

int matchParen(const QString &s, int open)
{
    int depth = 0;
    bool quoted = false;
    for (int i = open; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('(')) {
            ++depth;
        } else if (!quoted && c == QLatin1Char(')')) {
            if (--depth == 0)
                return i + 1;
        }
    }
    return -1;
}

QStringList splitTopLevel(const QString &s, const QString &seps, bool dropEmpty)
{
    QStringList parts;
    QString cur;
    int depth = 0;
    bool quoted = false;
    for (const QChar c : s) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('(')) {
            ++depth;
        } else if (!quoted && c == QLatin1Char(')')) {
            depth = std::max(0, depth - 1);
        } else if (!quoted && depth == 0 && seps.contains(c)) {
            if (!dropEmpty || !cur.isEmpty())
                parts << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!dropEmpty || !cur.isEmpty())
        parts << cur;
    return parts;
}

QString stripComment(const QString &line)
{
    bool quoted = false;
    for (int i = 0; i + 1 < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && line.at(i) == QLatin1Char('/') && line.at(i + 1) == QLatin1Char('*'))
            return line.left(i);
    }
    return line;
}

qint64 wrapAdd(qint64 a, qint64 b)
{
    return static_cast<qint64>(static_cast<quint64>(a) + static_cast<quint64>(b));
}

qint64 wrapSub(qint64 a, qint64 b)
{
    return static_cast<qint64>(static_cast<quint64>(a) - static_cast<quint64>(b));
}

qint64 wrapMul(qint64 a, qint64 b)
{
    return static_cast<qint64>(static_cast<quint64>(a) * static_cast<quint64>(b));
}

QStringList splitStatements(const QString &line)
{
    QStringList parts;
    QString cur;
    bool quoted = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char(':')) {
            parts << cur.trimmed();
            cur.clear();
            continue;
        }
        cur += c;
    }
    parts << cur.trimmed();
    return parts;
}

QStringList splitArgs(const QString &args)
{
    return splitTopLevel(args, QStringLiteral(" \t,"), true);
}

int axisIndex(const QString &name)
{
    const QString n = name.trimmed().toUpper();
    if (n == QLatin1String("X_A"))
        return 0;
    if (n == QLatin1String("Y_A"))
        return 1;
    if (n == QLatin1String("U_A"))
        return 2;
    if (n == QLatin1String("Z_A"))
        return 3;
    if (n == QLatin1String("ALL_A"))
        return 4;
    return -1;
}

} // namespace sim::syntax
