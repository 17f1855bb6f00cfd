#include "app/settings.h"

#include <QSettings>
#include <QVariant>

namespace app {

namespace {
// A stored list of the wrong kind loads as if absent; an over-long one is cut.
QStringList storedList(QSettings &s, const QString &key)
{
    const QVariant v = s.value(key);
    if (!v.isValid())
        return {};
    QStringList out;
    if (v.metaType().id() == QMetaType::QStringList) {
        out = v.toStringList();
    } else if (v.metaType().id() == QMetaType::QVariantList) {
        for (const QVariant &item : v.toList()) {
            if (item.metaType().id() != QMetaType::QString)
                return {};
            out << item.toString();
        }
    } else {
        return {};
    }
    if (out.size() > Settings::kHistoryLimit)
        out = out.mid(0, Settings::kHistoryLimit);
    return out;
}

QString storedString(QSettings &s, const QString &key)
{
    const QVariant v = s.value(key);
    if (!v.isValid())
        return QString();
    const int type = v.metaType().id();
    if (type == QMetaType::QString || type == QMetaType::Int || type == QMetaType::LongLong ||
        type == QMetaType::Double)
        return v.toString();
    return QString();
}
} // namespace

void Settings::load(QSettings &store)
{
    address = storedString(store, QStringLiteral("ipaddress"));
    for (int b = 0; b < 3; ++b)
        histories[b] = storedList(store, QStringLiteral("combobox%1").arg(b + 1));
    for (int i = 0; i < kVariableRows; ++i)
        variableNames[i] = storedString(store, QStringLiteral("variname%1").arg(i));
    timeoutSeconds = storedString(store, QStringLiteral("timeoutsec"));
    if (timeoutSeconds.isEmpty())
        timeoutSeconds = QStringLiteral("30");
}

void Settings::save(QSettings &store) const
{
    store.setValue(QStringLiteral("ipaddress"), address);
    for (int b = 0; b < 3; ++b) {
        // A variant list, not a string list: an INI file writes a string list
        // of one item as a plain string, and the next run would read a
        // one-entry history back as text of the wrong kind.
        QVariantList items;
        for (int i = 0; i < histories[b].size() && i < kHistoryLimit; ++i)
            items << histories[b].at(i);
        store.setValue(QStringLiteral("combobox%1").arg(b + 1), items);
    }
    for (int i = 0; i < kVariableRows; ++i)
        store.setValue(QStringLiteral("variname%1").arg(i), variableNames[i]);
    store.setValue(QStringLiteral("timeoutsec"), timeoutSeconds);
    store.sync();
}

} // namespace app
