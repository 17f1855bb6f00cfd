// Variable replies: a row shows the reply's own value; hexadecimal reads back as the
// low 32 bits, a string's byte codes decode to it, styled runs match the plain text.
#include "fuzzinput.h"

#include "link/sjis.h"
#include "panels/replies.h"
#include "panels/variables.h"

using namespace panels;

namespace {

void checkNumeric(const QString &reply, const QString &name, bool hex)
{
    const VariableDisplay d = formatVariable(reply, name, hex);
    fuzz::check(d.styled.isEmpty(), "numeric value styled");
    const QString v = stringmodify(reply);
    fuzz::check(!v.contains(QLatin1Char('#')), "prompt left in a numeric value", v);
    if (!hex || v.isEmpty()) {
        fuzz::check(d.plain == v, "decimal display differs from the reply", d.plain);
        return;
    }
    if (d.plain.isEmpty())
        return; // some token was not a number: nothing shown
    const QStringList tokens = text::splitKeep(v, QStringLiteral(" "));
    const QStringList shown = d.plain.split(QLatin1Char(' '));
    fuzz::check(shown.size() == tokens.size() + 1 && shown.last().isEmpty(), "token count", d.plain);
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const auto value = text::parseInt(tokens.at(i));
        fuzz::check(value.has_value(), "hex of no number", tokens.at(i));
        fuzz::checkHexWord(shown.at(i), *value, "hex token");
    }
}

void checkString(const QString &reply, const QString &name, bool hex)
{
    const VariableDisplay d = formatVariable(reply, name, hex);
    const QString s = stringmodify_string(reply);
    if (hex && !s.isEmpty()) {
        QByteArray bytes;
        for (const QString &code : d.plain.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const auto b = text::parseHex(code);
            fuzz::check(code.size() == 2 && b && *b >= 0 && *b <= 255, "byte code shape", code);
            bytes.append(static_cast<char>(*b));
        }
        bool encodable = false;
        wire::sjisEncode(s, &encodable);
        if (encodable) {
            bool ok = false;
            fuzz::check(wire::sjisDecode(bytes, &ok) == s && ok, "byte codes do not decode to the value",
                        d.plain);
        }
        return;
    }
    fuzz::check(d.plain == escapeString(s), "plain string display");
    // The styled runs read like the plain text, control codes as boxes.
    QString boxed = d.plain;
    for (QChar &c : boxed) {
        const char16_t u = c.unicode();
        if ((u >= 1 && u <= 8) || u == 11 || u == 12 || (u >= 14 && u <= 31))
            c = QChar(0x25A1);
    }
    QString joined;
    for (qsizetype i = 0; i < d.styled.size(); ++i) {
        fuzz::check(!d.styled.at(i).text.isEmpty(), "empty styled run");
        if (i > 0)
            fuzz::check(d.styled.at(i).grey != d.styled.at(i - 1).grey, "adjacent runs share a colour");
        joined += d.styled.at(i).text;
    }
    fuzz::check(joined == boxed, "styled text differs from the plain text", joined);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t mode = in.byte();
    const QString reply = in.rest();
    if (mode & 2)
        checkString(reply, QStringLiteral("S$"), mode & 1);
    else
        checkNumeric(reply, QStringLiteral("A"), mode & 1);
    return 0;
}
