#include "panels/mbk.h"

#include "link/textutil.h"
#include "panels/replies.h"

namespace panels {

QString mbkSizeName(MbkSize size)
{
    switch (size) {
    case MbkSize::Int:
        return QStringLiteral("Int");
    case MbkSize::Wrd:
        return QStringLiteral("Wrd");
    case MbkSize::Lng:
        return QStringLiteral("Lng");
    case MbkSize::None:
        break;
    }
    return QString();
}

QString mbkSuffix(MbkSize size)
{
    const QString name = mbkSizeName(size);
    return name.isEmpty() ? QString() : QLatin1Char('~') + name;
}

std::optional<std::array<QString, 8>> mbkRowAddresses(qint64 start, MbkSize size)
{
    if (start > kMbkMaxStart)
        return std::nullopt;
    std::array<QString, 8> rows;
    for (int r = 0; r < 8; ++r) {
        if (size == MbkSize::Lng && r % 2 == 1)
            continue;
        rows[static_cast<size_t>(r)] = QString::number(start + r);
    }
    return rows;
}

QString mbkReadCommand(const QString &addressText, MbkSize size)
{
    return QStringLiteral("PR MBK(") + addressText + mbkSuffix(size) + QLatin1Char(')');
}

QString mbkDisplay(const QString &reply, bool hex)
{
    const QString v = stringmodify(reply);
    if (!hex)
        return v;
    const auto n = text::parseInt(v);
    return n ? text::hex8(*n) : v;
}

std::optional<QString> mbkWriteCommand(const QString &addressText, const QString &valueText, MbkSize size)
{
    const QString value = text::trimBlanks(valueText);
    if (addressText.isEmpty() || value.isEmpty() || !text::isOneOperand(addressText) ||
        !text::isOneOperand(value))
        return std::nullopt;
    return QStringLiteral("MBK(") + addressText + mbkSuffix(size) + QStringLiteral(")=") + value;
}

std::optional<ui::PlotProbe> mbkProbe(const QString &addressText, MbkSize size)
{
    if (text::trimBlanks(addressText).isEmpty())
        return std::nullopt;
    ui::PlotProbe p;
    p.label = QStringLiteral("MBK(") + addressText + mbkSuffix(size) + QLatin1Char(')');
    p.command = mbkReadCommand(addressText, size);
    return p;
}

} // namespace panels
