// The variables tab: eight watched variable rows that the poll refreshes, the
// assignment fields and the last reply the controller sent while it shows.
#pragma once

#include "ui/page.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class WatchLock;

namespace panels {

class VariablesPage : public ui::Page
{
    Q_OBJECT

public:
    static constexpr int kRows = 8;

    // Assigning stays off while `lock` is on; `link` and `lock` outlive the
    // page.
    VariablesPage(wire::Link &link, const WatchLock &lock, QWidget *parent = nullptr);

    // Reads every checked row with a valid name.
    QCoro::Task<> poll(wire::Link &link) override;
    // Each row's value, as the numeric variable its name field names.
    QList<ui::Plottable> plottables() const override;

    // The watched names as typed, one per row; the settings keep them.
    QStringList variableNames() const;
    // Rows beyond the list's end are emptied.
    void setVariableNames(const QStringList &names);

    // The newest chunk from the controller while this tab is selected.
    void showLastReply(const QString &chunk);

private slots:
    void onAllClicked();
    void onTypeClicked();
    void onModNameEntered();
    void onModValueEntered();

private:
    QCoro::Task<> variableshow(wire::Link &link, int row);

    wire::Link &m_link;
    const WatchLock &m_lock;
    std::array<QCheckBox *, kRows> m_checks{};
    std::array<QLineEdit *, kRows> m_names{};
    std::array<QLabel *, kRows> m_values{};
    QCheckBox *m_all = nullptr;
    QRadioButton *m_dec = nullptr;
    QRadioButton *m_hex = nullptr;
    QLineEdit *m_modName = nullptr;
    QLineEdit *m_modValue = nullptr;
    QLineEdit *m_lastReply = nullptr;
};

} // namespace panels
