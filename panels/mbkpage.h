// The MBK tab: eight memory block rows from a start address in the chosen
// entry size, a write field, and the MBK bit word with its forcing buttons.
#pragma once

#include "panels/mbk.h"
#include "ui/page.h"

#include <QCoroTask>
#include <array>
#include <optional>

class QLineEdit;
class QRadioButton;
class WatchLock;

namespace ui {
class Stepper;
}

namespace monitor {
class BitGroupBox;
}

namespace panels {

class MbkPage : public ui::Page
{
    Q_OBJECT

public:
    static constexpr int kRows = 8;

    // Writing words and forcing bits stay off while `lock` is on; `link` and
    // `lock` outlive the page.
    MbkPage(wire::Link &link, const WatchLock &lock, QWidget *parent = nullptr);

    // Reads the rows (odd rows only while they have an address) and the bit word.
    QCoro::Task<> poll(wire::Link &link) override;
    // Each row's data, at the row's address in the chosen size, then the
    // lamps of the bit word.
    QList<ui::Plottable> plottables() const override;

private slots:
    void onAdrSelectEntered();
    void onStepperChanged();
    void onModAdrEntered();
    void onModDataEntered();
    void onTypeClicked();
    void onSizeClicked();

private:
    monitor::BitGroupBox *buildBitGroup(const WatchLock &lock);
    MbkSize size() const;
    // Lays the rows out from the typed start address, or (after a size
    // change) from row 0's address, whatever the start field holds typed.
    void layOutFrom(bool typed);
    void layOutRows(const std::array<QString, kRows> &rows);
    QCoro::Task<> mbkvalueshow(wire::Link &link, int row);

    wire::Link &m_link;
    const WatchLock &m_lock;
    QLineEdit *m_adrSelect = nullptr;
    ui::Stepper *m_stepper = nullptr;
    std::array<QLineEdit *, kRows> m_adr{};
    std::array<QLineEdit *, kRows> m_data{};
    QRadioButton *m_sizeInt = nullptr;
    QRadioButton *m_sizeWrd = nullptr;
    QRadioButton *m_sizeLng = nullptr;
    QRadioButton *m_dec = nullptr;
    QRadioButton *m_hex = nullptr;
    QLineEdit *m_modAdr = nullptr;
    QLineEdit *m_modData = nullptr;
    monitor::BitGroupBox *m_bits = nullptr;
    // The entry size the rows were laid out for.
    MbkSize m_rowsSize = MbkSize::None;
};

} // namespace panels
