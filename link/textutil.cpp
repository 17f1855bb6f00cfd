#include "link/textutil.h"

#include <algorithm>

namespace text {

std::optional<qint64> parseInt(const QString &s)
{
    if (s.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    if (s.at(0) == QLatin1Char('+') || s.at(0) == QLatin1Char('-'))
        i = 1;
    if (i >= s.size())
        return std::nullopt;
    for (qsizetype k = i; k < s.size(); ++k) {
        if (s.at(k) < QLatin1Char('0') || s.at(k) > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 v = s.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

qint64 intOr(const QString &s, qint64 fallback)
{
    // A field's number may be typed with a blank around it.
    const auto v = parseInt(trimBlanks(s));
    return v ? *v : fallback;
}

std::optional<qint64> parseHex(const QString &s)
{
    if (s.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    bool neg = false;
    if (s.at(0) == QLatin1Char('+') || s.at(0) == QLatin1Char('-')) {
        neg = s.at(0) == QLatin1Char('-');
        i = 1;
    }
    const QString digits = s.mid(i);
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        const bool ok = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                        (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                        (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!ok)
            return std::nullopt;
    }
    bool ok = false;
    const qint64 v = digits.toLongLong(&ok, 16);
    if (!ok)
        return std::nullopt;
    return neg ? -v : v;
}

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool isOneLine(QStringView s)
{
    return std::none_of(s.cbegin(), s.cend(), [](QChar c) {
        return isNewline(c) || (c.category() == QChar::Other_Control && c != QLatin1Char('\t'));
    });
}

bool isOneOperand(QStringView s)
{
    return !s.contains(QLatin1Char(':'));
}

bool isBlank(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

namespace {
template <typename Pred> QString trimBy(const QString &s, Pred pred)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && pred(s.at(b)))
        ++b;
    while (e > b && pred(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}
} // namespace

QString trimNewlines(const QString &s)
{
    return trimBy(s, isNewline);
}

QString trimBlanks(const QString &s)
{
    return trimBy(s, isBlank);
}

QString trimAll(const QString &s)
{
    return trimBy(s, [](QChar c) { return isNewline(c) || isBlank(c); });
}

QStringList splitKeep(const QString &s, const QString &sep)
{
    return s.split(sep, Qt::KeepEmptyParts);
}

QString hex8(qint64 v)
{
    return QStringLiteral("&H") + hexWidth(v, 8);
}

QString hexWidth(qint64 v, int width)
{
    // As "%X" does: the low 32 bits, so negative values show in two's complement.
    const QString digits = QString::number(static_cast<quint32>(v), 16).toUpper();
    return digits.rightJustified(width, QLatin1Char('0'));
}

} // namespace text
