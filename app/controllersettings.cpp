#include "app/controllersettings.h"

#include "console/console.h"
#include "link/sendpath.h"
#include "monitor/tabs.h"

#include <QSettings>
#include <QUrl>

namespace app {

namespace {

constexpr int kMaxKeptSeries = 8;

QString groupOf(const QString &controller)
{
    // Names and addresses hold "/", ":" and "[", which the store reads as
    // its own; encoded, each controller is one group.
    return QStringLiteral("perController/") + QString::fromLatin1(QUrl::toPercentEncoding(controller));
}

// An array's element prints through PRA with a name and an element; a third
// word is a value it assigns to that element ("PRA F 1 7").
bool onlyReads(const QString &command)
{
    static const QString arrayPrint = QStringLiteral("PRA ");
    if (command.trimmed().isEmpty())
        return false;
    if (command.startsWith(arrayPrint)) {
        const QString rest = command.mid(arrayPrint.size());
        return rest.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts).size() == 2 &&
               console::readOnlyLine(QStringLiteral("PR ") + rest);
    }
    return console::readOnlyLine(command);
}

} // namespace

QString controllerKey(const QString &name, const QString &address)
{
    if (!name.trimmed().isEmpty())
        return name.trimmed().toLower();
    // "10.1.4.20:23" reaches the controller "10.1.4.20" does: the console's
    // port is one controller spelled out or not, kept under the bare host.
    const wire::Address at = wire::parseAddress(address, wire::kControllerPort);
    return (at.ok && at.port == wire::kControllerPort ? at.host : address.trimmed()).toLower();
}

void renameControllerSettings(QSettings &store, const QList<std::pair<QString, QString>> &renames)
{
    QList<std::pair<QString, QVariantMap>> moving;
    for (const auto &[before, now] : renames) {
        const QString from = controllerKey(before, QString());
        const QString to = controllerKey(now, QString());
        if (from == to)
            continue; // only the case changed
        QVariantMap values;
        store.beginGroup(groupOf(from));
        for (const QString &key : store.allKeys())
            values.insert(key, store.value(key));
        store.endGroup();
        if (values.isEmpty())
            continue;
        store.remove(groupOf(from));
        moving.append({to, values});
    }
    for (const auto &[to, values] : moving) {
        store.remove(groupOf(to));
        store.beginGroup(groupOf(to));
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            store.setValue(it.key(), it.value());
        store.endGroup();
    }
    store.sync();
}

ControllerSettings ControllerSettings::load(QSettings &store, const QString &controller)
{
    ControllerSettings kept;
    store.beginGroup(groupOf(controller));
    kept.found = !store.childKeys().isEmpty() || !store.childGroups().isEmpty();
    kept.timeoutSeconds = store.value(QStringLiteral("timeout")).toString();
    bool ok = false;
    const int tab = store.value(QStringLiteral("lastTab")).toInt(&ok);
    kept.lastTab = ok && tab >= 0 && tab < monitor::kTabCount ? tab : 0;
    const int count = store.beginReadArray(QStringLiteral("series"));
    for (int i = 0; i < count && kept.series.size() < kMaxKeptSeries; ++i) {
        store.setArrayIndex(i);
        ui::PlotProbe p;
        p.label = store.value(QStringLiteral("label")).toString();
        p.command = store.value(QStringLiteral("command")).toString();
        bool extractOk = false, indexOk = false;
        const int extract = store.value(QStringLiteral("extract")).toInt(&extractOk);
        p.index = store.value(QStringLiteral("index")).toInt(&indexOk);
        const bool known = extractOk && extract >= int(ui::PlotProbe::Extract::Number) &&
                           extract <= int(ui::PlotProbe::Extract::TaskStep);
        if (!known || !indexOk || p.index < 0 || p.index > 63 || p.label.isEmpty() || !onlyReads(p.command))
            continue;
        p.extract = static_cast<ui::PlotProbe::Extract>(extract);
        if (!kept.series.contains(p))
            kept.series.append(p);
    }
    store.endArray();
    store.endGroup();
    return kept;
}

void ControllerSettings::save(QSettings &store, const QString &controller) const
{
    store.remove(groupOf(controller));
    store.beginGroup(groupOf(controller));
    store.setValue(QStringLiteral("timeout"), timeoutSeconds);
    store.setValue(QStringLiteral("lastTab"), lastTab);
    store.beginWriteArray(QStringLiteral("series"), int(series.size()));
    for (int i = 0; i < series.size(); ++i) {
        store.setArrayIndex(i);
        const ui::PlotProbe &p = series.at(i);
        store.setValue(QStringLiteral("label"), p.label);
        store.setValue(QStringLiteral("command"), p.command);
        store.setValue(QStringLiteral("extract"), int(p.extract));
        store.setValue(QStringLiteral("index"), p.index);
    }
    store.endArray();
    store.endGroup();
}

} // namespace app
