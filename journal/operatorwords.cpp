#include "journal/operatorwords.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

namespace journal {

namespace {

QString axisName(const QString &word)
{
    // "X_A" -> "X"
    return word.section(QLatin1Char('_'), 0, 0);
}

QString bitName(qint64 bit)
{
    if (bit < 0)
        return QStringLiteral("Relay %1").arg(bit);
    if (bit >= 70000 && bit <= 79999)
        return QStringLiteral("MBK bit %1").arg(bit);
    if (bit >= 2000 && bit <= 6095)
        return QStringLiteral("CU output %1").arg(bit);
    return QStringLiteral("Output %1").arg(bit);
}

QString clearedArea(const QString &k)
{
    if (k == QLatin1String("1"))
        return QStringLiteral("All outputs cleared");
    if (k == QLatin1String("2"))
        return QStringLiteral("All CU outputs cleared");
    if (k == QLatin1String("4"))
        return QStringLiteral("All MBK bits cleared");
    if (k == QLatin1String("8"))
        return QStringLiteral("All relays cleared");
    return QStringLiteral("CLR_OUTP ") + k;
}

// "&H20261207" -> "2026-12-07"; "&H0090503" (the hour without its leading
// zero) or "&H00090503" -> "09:05:03".
QString rtcText(const QString &hex, bool date)
{
    const QString d = hex.mid(2);
    if (date)
        return d.size() == 8 ? d.left(4) + QLatin1Char('-') + d.mid(4, 2) + QLatin1Char('-') + d.mid(6, 2)
                             : hex;
    if (d.size() < 7 || d.size() > 8 || !d.startsWith(QLatin1String("00")))
        return hex;
    const QString t = d.mid(2).rightJustified(6, QLatin1Char('0'));
    return t.left(2) + QLatin1Char(':') + t.mid(2, 2) + QLatin1Char(':') + t.mid(4, 2);
}

QString describeStatement(const QString &s)
{
    const QStringList w = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString verb = w.value(0).toUpper();
    bool numeric = false;
    const qint64 n = w.value(1).toLongLong(&numeric);
    if ((verb == QLatin1String("ON") || verb == QLatin1String("OFF")) && w.size() == 2 && numeric)
        return bitName(n) + QLatin1Char(' ') + verb;
    if (verb == QLatin1String("CLR_OUTP") && w.size() == 2)
        return clearedArea(w.at(1));
    if (verb == QLatin1String("RMVS") && w.size() == 3) {
        const QString d = w.at(2);
        const bool minus = d.startsWith(QLatin1Char('-'));
        return QStringLiteral("Jog %1%2 %3 pulses")
            .arg(axisName(w.at(1)), minus ? QStringLiteral("-") : QStringLiteral("+"), minus ? d.mid(1) : d);
    }
    if (verb == QLatin1String("STOP") && w.size() >= 2)
        return QStringLiteral("Stop ") + axisName(w.at(1));
    if ((verb == QLatin1String("H_ON") || verb == QLatin1String("H_OFF")) && w.size() == 2)
        return QStringLiteral("General output %1 %2").arg(w.at(1), verb.mid(2));
    if (verb == QLatin1String("SETP") && w.size() == 3 && w.at(2).toUpper() == QLatin1String("P(0)"))
        return QStringLiteral("Point %1 taught (confirmed)").arg(w.at(1));
    if (verb == QLatin1String("SETP") && w.size() == 6) {
        const QString values = w.mid(2).join(QLatin1Char(' '));
        if (w.at(1) == QLatin1String("0"))
            return QStringLiteral("Current positions set to ") + values;
        if (w.at(1) == QLatin1String("-1"))
            return QStringLiteral("Counters set to ") + values;
        return QStringLiteral("Point %1 set to %2").arg(w.at(1), values);
    }
    if (verb == QLatin1String("CLRPOS") && w.size() == 2)
        return w.at(1) == QLatin1String("-1") ? QStringLiteral("Counters cleared")
                                              : QStringLiteral("Current positions cleared");
    if (verb == QLatin1String("MPG") && w.size() == 2)
        return QStringLiteral("Board %1 selected").arg(w.at(1));
    // Every jog sets the acceleration first; the jog's own line says enough.
    if (verb == QLatin1String("ACCEL") && w.size() == 3)
        return QString();
    if (verb == QLatin1String("SET_RTC") && w.size() == 2)
        return w.at(1).size() < 10 || w.at(1).mid(2, 2) == QLatin1String("00")
                   ? QStringLiteral("Clock time set to ") + rtcText(w.at(1), false)
                   : QStringLiteral("Clock date set to ") + rtcText(w.at(1), true);
    if (verb == QLatin1String("BKP") && w.size() == 1)
        return QStringLiteral("Breakpoints listed");
    if (verb == QLatin1String("BKP") && w.size() == 2)
        return w.at(1) == QLatin1String("0") ? QStringLiteral("All breakpoints cleared")
                                             : QStringLiteral("Breakpoint %1 added or removed").arg(w.at(1));
    if (verb == QLatin1String("N") && w.size() == 1)
        return QStringLiteral("Continued from the breakpoint");
    if (verb == QLatin1String("T") && w.size() == 1)
        return QStringLiteral("One step from the breakpoint");
    // Assignments, MBK writes and whatever the console sent read best as
    // they were typed.
    return s;
}

} // namespace

std::optional<QString> describeCommand(const QString &line)
{
    const QString trimmed = line.trimmed();
    static const QRegularExpression session(QStringLiteral("^CMD\\$( 0)?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (trimmed.isEmpty() || session.match(trimmed).hasMatch())
        return std::nullopt;
    const QStringList statements = trimmed.split(QStringLiteral(" : "));
    // The clock is set by a date and a time statement on one line.
    static const QRegularExpression rtc(QStringLiteral("^SET_RTC (&H\\d{7,8})$"));
    if (statements.size() == 2) {
        const auto date = rtc.match(statements.at(0));
        const auto time = rtc.match(statements.at(1));
        if (date.hasMatch() && time.hasMatch())
            return QStringLiteral("Clock set to ") + rtcText(date.captured(1), true) + QLatin1Char(' ') +
                   rtcText(time.captured(1), false);
    }
    QStringList words;
    for (const QString &s : statements) {
        const QString w = describeStatement(s.trimmed());
        if (!w.isEmpty())
            words << w;
    }
    if (words.isEmpty())
        return std::nullopt;
    return words.join(QStringLiteral("; "));
}

QString replyError(const QString &reply)
{
    QStringList errors;
    for (const QString &line : reply.split(QLatin1Char('\n'))) {
        QString l = line;
        l.remove(QLatin1Char('\r'));
        if (l.startsWith(QLatin1Char('\t')))
            errors << l.mid(1).trimmed();
    }
    return errors.join(QStringLiteral("; "));
}

QString loadWords(const QString &what, const QString &fileName, qint64 bytes, int refused)
{
    const QLocale en(QLocale::English);
    QString s = QStringLiteral("%1 loaded from %2, %3 bytes").arg(what, fileName, en.toString(bytes));
    if (refused > 0)
        s += QStringLiteral(", %1 %2 refused")
                 .arg(refused)
                 .arg(refused == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
    return s;
}

} // namespace journal
