#include "link/sendpath.h"

#include "link/protocol.h"
#include "link/sjis.h"
#include "link/textutil.h"

#include <algorithm>

namespace wire {

ConsoleLine prepareConsoleLine(const QString &line)
{
    ConsoleLine c;
    QString t = text::trimNewlines(line);
    t = text::trimBlanks(t);
    t.replace(QLatin1Char('\t'), QLatin1Char(' '));
    c.trimmed = t;
    c.words = t.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    c.firstIsLineNumber = !c.words.isEmpty() && text::isInt(c.words.first());
    return c;
}

QString wireLine(const QString &command)
{
    QString line = command + QLatin1Char(protocol::kLineEnd);
    line.replace(QChar(0x00A5), QLatin1Char('\\'));
    return line;
}

QByteArray commandBytes(const QString &line, bool *ok)
{
    const bool lineEnd = line.endsWith(QLatin1Char(protocol::kLineEnd));
    *ok = false;
    if (!text::isOneLine(QStringView(line).chopped(lineEnd ? 1 : 0)))
        return QByteArray();
    return sjisEncode(line, ok);
}

bool argumentsAreNumbers(const QString &msg)
{
    const QStringList words = msg.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    for (qsizetype i = 1; i < words.size(); ++i) {
        QString w = words.at(i);
        if (w.isEmpty())
            return false;
        if (w.contains(QStringLiteral("&H"))) {
            w.remove(QStringLiteral("&H"));
            if (!text::parseHex(w))
                return false;
        } else if (!text::parseInt(w)) {
            return false;
        }
    }
    return true;
}

Address parseAddress(const QString &raw, quint16 defaultPort)
{
    Address a;
    const QString s = text::trimAll(raw);
    if (s.isEmpty())
        return a;
    QString host = s;
    QString port;
    if (s.startsWith(QLatin1Char('['))) {
        const qsizetype close = s.indexOf(QLatin1Char(']'));
        if (close < 0)
            return a;
        host = s.mid(1, close - 1);
        const QString rest = s.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return a;
            port = rest.mid(1);
        }
    } else if (s.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = s.indexOf(QLatin1Char(':'));
        host = s.left(colon);
        port = s.mid(colon + 1);
    }
    // No host name or address holds a blank: "Press 9" is a name, not a host.
    if (host.isEmpty() || std::any_of(host.cbegin(), host.cend(), [](QChar c) { return c.isSpace(); }))
        return a;
    a.host = host;
    if (port.isEmpty()) {
        a.port = defaultPort;
    } else {
        const auto p = text::parseInt(port);
        if (!p || *p < 1 || *p > 65535)
            return a;
        a.port = static_cast<quint16>(*p);
    }
    a.ok = true;
    return a;
}

} // namespace wire
