// The CSV the monitor exports (the trend's samples, the operator journal):
// records as spreadsheets read them, without letting a spreadsheet take a text
// cell for a formula. Text reaches these files from what the user typed (a
// variable's name becomes a series name), so it is never trusted to be inert.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

namespace core {

// One cell: text or a number. Text that holds a comma, a double quote, CR or
// LF is quoted (inner quotes doubled); text that begins with "=", "+", "-" or
// "@" gets a single quote in front, so that it shows as the text it is. A
// number is written plain, its minus sign included; one that is not finite
// leaves the cell empty.
class CsvField
{
public:
    CsvField() = default; // an empty cell
    static CsvField text(const QString &text);
    static CsvField number(double value);

    // The cell as the file holds it.
    QString written() const { return m_written; }

private:
    explicit CsvField(const QString &written) : m_written(written) {}
    QString m_written;
};

// A value as a person reads it: a whole number below 2^53 (every integer the
// controller sends) to its last digit, any other with `digits` significant
// digits.
QString numberText(double value, int digits);

// The fields joined by commas and ended by CR LF.
QString csvRecord(const QList<CsvField> &fields);

} // namespace core

Q_DECLARE_METATYPE(core::CsvField)
