#include "panels/replies.h"

#include "link/sjis.h"
#include "link/textutil.h"
#include "panels/variables.h"

namespace panels {

QString stringmodify(const QString &st)
{
    QString s = st;
    s.remove(QLatin1Char('#'));
    s.remove(QStringLiteral("\r\n "));
    return text::trimNewlines(s);
}

QString stringmodify_string(const QString &st)
{
    QString s = st;
    s.remove(QStringLiteral("\r\n#"));
    s.remove(QStringLiteral("\r\n "));
    s.remove(QStringLiteral("\n#"));
    return s;
}

QString hexTokens(const QString &v)
{
    if (v.isEmpty())
        return QString();
    QString out;
    for (const QString &token : text::splitKeep(v, QStringLiteral(" "))) {
        const auto n = text::parseInt(token);
        if (!n)
            return QString();
        out += text::hex8(*n) + QLatin1Char(' ');
    }
    return out;
}

QString stringHex(const QString &s)
{
    QString out;
    // Character by character, so one unmappable character does not take the
    // whole value with it (the strict encoder refuses the entire text).
    for (qsizetype i = 0; i < s.size(); ++i) {
        qsizetype len = 1;
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            len = 2;
        bool ok = false;
        QByteArray bytes = wire::sjisEncode(s.mid(i, len), &ok);
        if (!ok)
            bytes = QByteArray("?");
        for (const char b : bytes)
            out += text::hexWidth(static_cast<unsigned char>(b), 2) + QLatin1Char(' ');
        i += len - 1;
    }
    return out;
}

namespace {
void appendPiece(StyledPieces &pieces, const QString &text, bool grey)
{
    if (!pieces.isEmpty() && pieces.last().grey == grey)
        pieces.last().text += text;
    else
        pieces.append(StyledPiece{text, grey});
}

bool isPlaceholderCode(char16_t u)
{
    return (u >= 1 && u <= 8) || u == 11 || u == 12 || (u >= 14 && u <= 31);
}
} // namespace

StyledPieces styleString(const QString &s)
{
    StyledPieces pieces;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t u = s.at(i).unicode();
        if (u == u'\r' && i + 1 < s.size() && s.at(i + 1) == QLatin1Char('\n')) {
            appendPiece(pieces, QStringLiteral("\\r\\n"), true);
            ++i;
        } else if (u == u'\r') {
            appendPiece(pieces, QStringLiteral("\\r"), true);
        } else if (u == u'\n') {
            appendPiece(pieces, QStringLiteral("\\n"), true);
        } else if (u == u'\t') {
            appendPiece(pieces, QStringLiteral("\\t"), true);
        } else if (isPlaceholderCode(u)) {
            appendPiece(pieces, QStringLiteral("\u25A1"), true);
        } else {
            appendPiece(pieces, QString(s.at(i)), false);
        }
    }
    return pieces;
}

QString escapeString(const QString &s)
{
    QString out = s;
    out.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    out.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    out.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return out;
}

VariableDisplay formatVariable(const QString &reply, const QString &name, bool hex)
{
    VariableDisplay d;
    if (!isStringName(name)) {
        const QString v = stringmodify(reply);
        d.plain = hex && !v.isEmpty() ? hexTokens(v) : v;
        return d;
    }
    const QString s = stringmodify_string(reply);
    if (hex && !s.isEmpty()) {
        d.plain = stringHex(s);
        return d;
    }
    d.styled = styleString(s);
    d.plain = escapeString(s);
    return d;
}

} // namespace panels
