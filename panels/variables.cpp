#include "panels/variables.h"

#include "link/textutil.h"

#include <algorithm>

namespace panels {

bool isStringName(const QString &name)
{
    return name.contains(QLatin1Char('$'));
}

bool isArrayRef(const QString &name)
{
    return name.contains(QStringLiteral("_#"));
}

ArrayRef splitArrayRef(const QString &name)
{
    const QStringList pieces = text::splitKeep(name, QStringLiteral("#"));
    ArrayRef r;
    r.array = pieces.value(0);
    r.argument = pieces.value(1);
    return r;
}

namespace {
// One element, one word: a second word after it is a value that PRA assigns.
bool isElement(const QString &argument)
{
    const QString trimmed = text::trimBlanks(argument);
    return !trimmed.isEmpty() && std::none_of(trimmed.cbegin(), trimmed.cend(), text::isBlank);
}
} // namespace

VariableQuery variableQuery(const QString &name)
{
    VariableQuery q;
    if (!text::isOneOperand(name)) {
        q.variname = name;
        return q;
    }
    if (isArrayRef(name)) {
        const ArrayRef ref = splitArrayRef(name);
        q.valid = isElement(ref.argument) && !ref.array.isEmpty();
        q.variname = ref.array;
        q.command = QStringLiteral("PRA ") + ref.array + QLatin1Char(' ') + ref.argument;
        return q;
    }
    q.valid = !name.isEmpty();
    q.variname = name;
    q.command = QStringLiteral("PR ") + name;
    return q;
}

std::optional<QString> assignmentCommand(const QString &nameText, const QString &rawValue)
{
    const QString name = text::trimBlanks(nameText);
    if (!text::isOneOperand(name))
        return std::nullopt;
    // The string goes between quotes as it stands: a quote in it would end
    // the string and let the rest run as statements. So would a quote in the
    // name, which opens a string the value's own quote then closes.
    if (isStringName(name))
        return rawValue.contains(QLatin1Char('"')) || name.contains(QLatin1Char('"'))
                   ? std::nullopt
                   : std::optional<QString>(name + QStringLiteral("=\"") + rawValue + QLatin1Char('"'));
    const QString value = text::trimBlanks(rawValue);
    if (value.isEmpty() || !text::isOneOperand(value))
        return std::nullopt;
    if (isArrayRef(name)) {
        const ArrayRef ref = splitArrayRef(name);
        if (!isElement(ref.argument))
            return std::nullopt;
        return QStringLiteral("PRA ") + ref.array + QLatin1Char(' ') + ref.argument + QLatin1Char(' ') +
               value;
    }
    return name + QLatin1Char('=') + value;
}

std::optional<ui::PlotProbe> variableProbe(const QString &name)
{
    const VariableQuery q = variableQuery(name);
    if (!q.valid || isStringName(q.variname))
        return std::nullopt;
    ui::PlotProbe p;
    p.label = name;
    p.command = q.command;
    return p;
}

} // namespace panels
