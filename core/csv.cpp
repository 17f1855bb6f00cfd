#include "core/csv.h"

#include <cmath>

namespace core {

CsvField CsvField::text(const QString &text)
{
    QString cell = text;
    // What a spreadsheet would start a formula with.
    if (!cell.isEmpty() && QStringLiteral("=+-@").contains(cell.front()))
        cell.prepend(QLatin1Char('\''));
    const bool needsQuotes = cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
                             cell.contains(QLatin1Char('\r')) || cell.contains(QLatin1Char('\n'));
    if (needsQuotes)
        cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return CsvField(cell);
}

QString numberText(double value, int digits)
{
    constexpr double kExactBelow = 9007199254740992.0; // 2^53
    if (std::abs(value) < kExactBelow && value == std::trunc(value))
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', digits);
}

CsvField CsvField::number(double value)
{
    // Fifteen significant digits: more than any sample carries, and none of
    // the binary noise of a seventeenth (0.30000000000000004).
    return std::isfinite(value) ? CsvField(numberText(value, 15)) : CsvField();
}

QString csvRecord(const QList<CsvField> &fields)
{
    QString out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += fields.at(i).written();
    }
    return out + QStringLiteral("\r\n");
}

} // namespace core
