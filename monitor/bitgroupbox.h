// One group of bit lamps with its bank popup and value label, and for the
// groups that can be forced the ON/OFF buttons under the lamps and a clear
// button. The I/O, CU and MBK pages are made of these.
#pragma once

#include "monitor/banks.h"
#include "ui/page.h"

#include <QCoroTask>
#include <QGroupBox>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class QComboBox;
class QLabel;
class WatchLock;

namespace wire {
class Link;
}

namespace monitor {

class BitGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    // What a group shows and how its controls are named.
    struct Spec
    {
        BitGroup group = BitGroup::Outputs;
        QString title;  // the box's title, "Outputs"
        QString prefix; // lamp k is prefix + k, its number label prefix + k + "BitNo"
        QString what;   // for accessible names and tips, "Output"
        QString popup;  // name of the bank popup
        QString stat;   // name of the value label
        // Name prefix of the forcing buttons; empty for a group that cannot be
        // forced. The ON button of lamp k is named action + (onBase + k), its
        // OFF button action + (offBase + k), the clear button action + clearTag.
        QString action;
        int onBase = 0;
        int offBase = 0;
        int clearTag = -1;
        QString clearCaption;
        // Bank popup and value above the lamps (wide groups) rather than
        // beside them.
        bool headerOnTop = false;
    };

    // The forcing and clear buttons stay off while `lock` is on; `link` and
    // `lock` outlive the box.
    BitGroupBox(wire::Link &link, const Spec &spec, const WatchLock &lock, QWidget *parent = nullptr);

    // The tick's part: reads the selected bank and shows it.
    QCoro::Task<> poll(wire::Link &link);

    // Every lamp, under `group`, as the bit of the bank the popup shows.
    QList<ui::Plottable> plottables(const QString &group) const;

signals:
    void replyRead(const QString &command, const QString &reply);

private:
    // Shows one reply to the bit query of bank `bankWord`; a reply that does
    // not parse changes nothing.
    void showBits(const QString &reply, const QString &bankWord);
    // Back to how the group looks before its first reading.
    void clearShown();
    // Sends the ON or OFF of the bit lamp `lamp` shows now, in its turn.
    void forceClicked(int lamp, bool on);
    QCoro::Task<> force(QString command);
    QCoro::Task<> clearAll();

    wire::Link &m_link;
    const WatchLock &m_lock;
    BitGroup m_group;
    QComboBox *m_popup = nullptr;
    QLabel *m_stat = nullptr;
    QVector<QLabel *> m_lamps;
    QVector<QLabel *> m_numbers;
    // The bit numbers the lamps show; nothing before the first reply that
    // parsed, nor after a change of bank. The forcing buttons take their
    // operands from here at the click.
    std::optional<QStringList> m_shown;
};

} // namespace monitor
