#include "axis/pointtable.h"

#include "link/textutil.h"
#include "panels/replies.h"

#include <limits>

namespace axis {

QString pointQuery(const std::array<QString, kTableRows> &rowPoints)
{
    QString q = QStringLiteral("PR");
    for (const QString &p : rowPoints)
        q += QStringLiteral(" P(") + p + QLatin1Char(')');
    return q;
}

std::array<QString, kTableRows> rowPointNumbers(qint64 first)
{
    constexpr qint64 kLastFirst = std::numeric_limits<qint64>::max() - (kTableRows - 1);
    if (first > kLastFirst)
        first = kLastFirst;
    std::array<QString, kTableRows> rows;
    for (int r = 0; r < kTableRows; ++r)
        rows[static_cast<size_t>(r)] = QString::number(first + r);
    return rows;
}

qint64 firstPointFromText(const QString &text)
{
    return text::intOr(text, 0);
}

QStringList replyValues(const QString &reply)
{
    const QString cleaned = panels::stringmodify(reply);
    // Nothing at all is no value, not one empty value: a bare prompt must not
    // blank the first field.
    if (cleaned.isEmpty())
        return {};
    return text::splitKeep(cleaned, QStringLiteral(" "));
}

QString coordinateDisplay(const QString &value, bool hex)
{
    if (!hex)
        return value;
    const auto v = text::parseInt(value);
    return v ? text::hex8(*v) : value;
}

QVector<std::optional<QString>> tableDisplay(const QString &reply, bool hex)
{
    QVector<std::optional<QString>> out(kTableFields);
    // The controller refuses the query as a whole (a point beyond its
    // table) with a TAB-led line: no coordinate, whatever its words are.
    if (reply.contains(QLatin1Char('\t')))
        return out;
    const QStringList values = replyValues(reply);
    for (int k = 0; k < kTableFields && k < values.size(); ++k)
        out[k] = coordinateDisplay(values.at(k), hex);
    return out;
}

} // namespace axis
