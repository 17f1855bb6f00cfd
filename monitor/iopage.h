// The I/O tab: outputs, inputs and internal relays, each a bank of eight bits
// read on every tick; outputs and relays can be forced from here.
#pragma once

#include "ui/page.h"

class WatchLock;

namespace wire {
class Link;
}

namespace monitor {

class BitGroupBox;

class IoPage : public ui::Page
{
    Q_OBJECT

public:
    // Forcing stays off while `lock` is on; `link` and `lock` outlive the page.
    IoPage(wire::Link &link, const WatchLock &lock, QWidget *parent = nullptr);

    // Outputs, inputs, then relays: one bit query each.
    QCoro::Task<> poll(wire::Link &link) override;
    // Every lamp, group by group.
    QList<ui::Plottable> plottables() const override;

private:
    BitGroupBox *m_outputs = nullptr;
    BitGroupBox *m_inputs = nullptr;
    BitGroupBox *m_relays = nullptr;
};

} // namespace monitor
