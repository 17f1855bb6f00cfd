// The CU tab: the outputs and inputs of the extension unit, a bank of eight
// bits each read on every tick; the outputs can be forced from here.
#pragma once

#include "ui/page.h"

class WatchLock;

namespace wire {
class Link;
}

namespace monitor {

class BitGroupBox;

class CuPage : public ui::Page
{
    Q_OBJECT

public:
    // Forcing stays off while `lock` is on; `link` and `lock` outlive the page.
    CuPage(wire::Link &link, const WatchLock &lock, QWidget *parent = nullptr);

    // Outputs, then inputs: one bit query each.
    QCoro::Task<> poll(wire::Link &link) override;
    // Every lamp, group by group.
    QList<ui::Plottable> plottables() const override;

private:
    BitGroupBox *m_outputs = nullptr;
    BitGroupBox *m_inputs = nullptr;
};

} // namespace monitor
