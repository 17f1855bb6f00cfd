// The MBK tab: eight memory block rows from a start address in the chosen
// entry size, a write field, and the MBK bit word with its forcing buttons.
#pragma once

#include "panels/mbk.h"
#include "ui/page.h"

#include <QStringList>
#include <array>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace panels {

class MbkPage : public ui::Page
{
    Q_OBJECT

public:
    static constexpr int kRows = 8;
    static constexpr int kBits = 16;

    explicit MbkPage(link::Link &link, QWidget *parent = nullptr);

    // Reads the rows (odd rows only while they have an address) and the bit word.
    void poll(link::Link &link) override;

private slots:
    void onAdrSelectEntered();
    void onStepperChanged();
    void onModAdrEntered();
    void onModDataEntered();
    void onTypeClicked();
    void onSizeClicked();

private:
    QGroupBox *buildBitGroup();
    MbkSize size() const;
    // Lays the rows out from the typed start address, or (after a size
    // change) from row 0's address, whatever the start field holds typed.
    void layOutFrom(bool typed);
    void layOutRows(const std::array<QString, kRows> &rows);
    void mbkvalueshow(link::Link &link, int row);
    void ioCheckMbkIo(const QString &txtText, const QString &banknum);
    void forceBit(int bit, bool on);
    void clearBits();

    link::Link &m_link;
    QLineEdit *m_adrSelect = nullptr;
    QSpinBox *m_stepper = nullptr;
    std::array<QLineEdit *, kRows> m_adr{};
    std::array<QLineEdit *, kRows> m_data{};
    QRadioButton *m_sizeInt = nullptr;
    QRadioButton *m_sizeWrd = nullptr;
    QRadioButton *m_sizeLng = nullptr;
    QRadioButton *m_dec = nullptr;
    QRadioButton *m_hex = nullptr;
    QLineEdit *m_modAdr = nullptr;
    QLineEdit *m_modData = nullptr;
    QComboBox *m_bank = nullptr;
    QLabel *m_bitsValue = nullptr;
    std::array<QLabel *, kBits> m_lamps{};
    std::array<QLabel *, kBits> m_bitNos{};
    // The bit numbers the lamps last showed; nothing before the first reply
    // that parsed. The forcing buttons take their operands from here.
    std::optional<QStringList> m_bitNumbers;
};

} // namespace panels
