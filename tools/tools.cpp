#include "tools/tools.h"

#include "link/protocol.h"
#include "link/textutil.h"

#include <QStringList>

namespace tools {

namespace {
QString twoDigits(int v)
{
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}
} // namespace

QString bkpTarget(const QString &trimmed)
{
    if (text::isInt(trimmed) || trimmed.startsWith(QLatin1Char('*')))
        return trimmed;
    return QLatin1Char('*') + trimmed;
}

QString rtcDateTimeText(const QDateTime &dateTime)
{
    const QDateTime local = dateTime.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::number(d.year()).rightJustified(4, QLatin1Char('0')) + QLatin1Char('/') +
           twoDigits(d.month()) + QLatin1Char('/') + twoDigits(d.day()) + QLatin1Char(' ') +
           QString::number(t.hour()) + QLatin1Char(':') + twoDigits(t.minute()) + QLatin1Char(':') +
           twoDigits(t.second());
}

QString rtcSetCommand(const QDateTime &dateTime)
{
    // The same steps as with a formatted date: split at the blank, drop the
    // separators, prefix the two SET_RTC commands.
    const QString stamp = rtcDateTimeText(dateTime);
    const qsizetype blank = stamp.indexOf(QLatin1Char(' '));
    QString date = stamp.left(blank);
    QString time = stamp.mid(blank + 1);
    date.remove(QLatin1Char('/'));
    time.remove(QLatin1Char(':'));
    return QStringLiteral("SET_RTC &H") + date + QStringLiteral(" : SET_RTC &H00") + time;
}

QString cleanMonReply(const QString &reply)
{
    QString s = reply;
    s.replace(QLatin1String(protocol::kBreakPrompt), QLatin1String(protocol::kPrompt));
    s = text::trimNewlines(s);
    s.remove(QLatin1Char('\t'));
    s.remove(QLatin1String(protocol::kPrompt));
    return s;
}

QVector<MonPiece> parseMonPieces(const QString &cleaned)
{
    QVector<MonPiece> pieces;
    for (const QString &raw : text::splitKeep(cleaned, QStringLiteral("]"))) {
        const QString piece = text::trimBlanks(text::trimNewlines(raw));
        const QStringList parts = text::splitKeep(piece, QStringLiteral("["));
        if (parts.size() == 1) {
            if (!piece.isEmpty())
                pieces.append({piece, std::nullopt});
            continue;
        }
        // Anything after a second "[" is not part of the label.
        pieces.append({text::trimBlanks(parts.at(0)), text::trimBlanks(parts.at(1))});
    }
    return pieces;
}

QString listCommand(const QString &label)
{
    return QStringLiteral("LIST ") + label + QStringLiteral(" 1");
}

QString cleanListLine(const QString &reply)
{
    QString s = reply;
    s.replace(QLatin1String(protocol::kBreakPrompt), QLatin1String(protocol::kPrompt));
    s.remove(QLatin1String(protocol::kPrompt));
    return text::trimNewlines(s);
}

QString monLine(const QString &head)
{
    return head + QStringLiteral("\r\n");
}

QString monLine(const QString &head, const QString &programLine)
{
    return head + QStringLiteral("\t   ") + programLine + QStringLiteral("\r\n");
}

QCoro::Task<std::optional<QString>> buildMonListing(QString monReply, Exchange exchange)
{
    QString out;
    const QVector<MonPiece> pieces = parseMonPieces(cleanMonReply(monReply));
    for (const MonPiece &piece : pieces) {
        if (!piece.label) {
            out += monLine(piece.head);
            continue;
        }
        QCoro::Task<std::optional<QString>> asked = exchange(listCommand(*piece.label));
        const std::optional<QString> reply = co_await asked;
        if (!reply)
            co_return std::nullopt;
        out += monLine(piece.head, cleanListLine(*reply));
    }
    co_return out;
}

} // namespace tools
