#include "trend/csv.h"

#include "core/csv.h"

#include <QDateTime>
#include <limits>

namespace trend {

QString csvText(const QStringList &names, const std::vector<const Series *> &series)
{
    using core::CsvField;
    QList<CsvField> header{CsvField::text(QStringLiteral("time"))};
    for (const QString &n : names)
        header << CsvField::text(n);
    QString out = core::csvRecord(header);

    std::vector<int> next(series.size(), 0);
    for (;;) {
        qint64 t = std::numeric_limits<qint64>::max();
        for (size_t s = 0; s < series.size(); ++s) {
            if (next[s] < series[s]->size())
                t = std::min(t, series[s]->at(next[s]).ms);
        }
        if (t == std::numeric_limits<qint64>::max())
            break;
        QList<CsvField> row{CsvField::text(QDateTime::fromMSecsSinceEpoch(t).toString(Qt::ISODateWithMs))};
        for (size_t s = 0; s < series.size(); ++s) {
            if (next[s] < series[s]->size() && series[s]->at(next[s]).ms == t)
                row << CsvField::number(series[s]->at(next[s]++).value);
            else
                row << CsvField();
        }
        out += core::csvRecord(row);
    }
    return out;
}

} // namespace trend
