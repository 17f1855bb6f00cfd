#include "transfer/texts.h"

#include <QFileInfo>

namespace transfer {

namespace {
QString quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString lineNumber(qint64 index)
{
    return QLatin1Char('(') + QString::number(index + 1) + QStringLiteral(") ");
}
} // namespace

QString countText(qint64 n, const QString &one, const QString &many)
{
    return QString::number(n) + QLatin1Char(' ') + (n == 1 ? one : many);
}

QString fileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString loadProgressText(const QString &fileName, qint64 total)
{
    return quoted(fileName) + QStringLiteral(" Loading...") + QString::number(total / 1000) +
           QStringLiteral("(KB)");
}

QString blockStartText(const QString &fileName)
{
    return quoted(fileName) + QStringLiteral(" Loading");
}

QString saveProgressText(const QString &fileName, qint64 chars)
{
    return quoted(fileName) + QStringLiteral(" Saving...") + QString::number(chars / 1000) +
           QStringLiteral("(KB)");
}

QString compareProgressText(const QString &fileName, qint64 chars)
{
    return quoted(fileName) + QStringLiteral(" Comparing...") + QString::number(chars / 1000) +
           QStringLiteral("(KB)");
}

QString backupProgressText(const QString &fileName, qint64 chars)
{
    return quoted(fileName) + QStringLiteral(" Backing up...") + QString::number(chars / 1000) +
           QStringLiteral("(KB)");
}

QString lineErrorText(qint64 index, const QString &reply)
{
    return lineNumber(index) + reply;
}

QString syntaxErrorText(qint64 index, const QString &line, const QString &message)
{
    return lineNumber(index) + line + QStringLiteral("\r\t") + message + QLatin1Char('\r');
}

QString loadedText(Kind kind, const QString &path)
{
    return traits(kind).loadedWord + quoted(path) + QStringLiteral("\r#");
}

QString savedText(Kind kind, const QString &path)
{
    return traits(kind).savedWord + quoted(path) + QStringLiteral("\r#");
}

} // namespace transfer
