// What the monitor remembers between runs, as typed values: the controller's
// address, the three command histories, the eight watched variable names and
// the receive time-out. Stored values of the wrong kind load as if absent.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

class QSettings;

namespace app {

struct Settings
{
    static constexpr int kHistoryLimit = 10;
    static constexpr int kVariableRows = 8;

    QString address;
    // comboBox1 (commands), comboBox2 (program lines), comboBox3 (listing starts)
    std::array<QStringList, 3> histories;
    std::array<QString, kVariableRows> variableNames;
    // As typed; an empty store gives "30".
    QString timeoutSeconds = QStringLiteral("30");

    void load(QSettings &store);
    void save(QSettings &store) const;
};

} // namespace app
