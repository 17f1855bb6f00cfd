// The tasks tab: eight task rows from a first task number, each showing the
// step and status the poll reads, and the button that clears the task area.
#pragma once

#include "ui/page.h"

#include <QCoroTask>
#include <QString>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class WatchLock;

namespace ui {
class Stepper;
}

namespace panels {

class TasksPage : public ui::Page
{
    Q_OBJECT

public:
    static constexpr int kRows = 8;

    // Clearing the task area stays off while `lock` is on; `link` and `lock`
    // outlive the page.
    TasksPage(wire::Link &link, const WatchLock &lock, QWidget *parent = nullptr);

    // Reads step and status of every row.
    QCoro::Task<> poll(wire::Link &link) override;
    // Each row's step, as the task its number field names.
    QList<ui::Plottable> plottables() const override;

private slots:
    void onTaskNoSelectEntered();
    void onStepperChanged();
    void onAreaClearClicked();

private:
    QCoro::Task<> taskvalueshow(wire::Link &link, int row);
    void layOutRows(const std::array<QString, kRows> &rows);

    wire::Link &m_link;
    const WatchLock &m_lock;
    QLineEdit *m_taskNoSelect = nullptr;
    ui::Stepper *m_stepper = nullptr;
    std::array<QLineEdit *, kRows> m_taskNo{};
    std::array<QLineEdit *, kRows> m_step{};
    std::array<QLineEdit *, kRows> m_status{};
    QPushButton *m_areaClear = nullptr;
};

} // namespace panels
