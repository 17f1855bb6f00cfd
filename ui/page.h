// A tab of the monitor: a widget that builds and owns its controls and reads
// what it shows from the controller when the poll ticks while it is selected.
#pragma once

#include <QWidget>

namespace link {
class Link;
}

namespace ui {

class Page : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // One poll tick: the page's exchanges, in the order the controller
    // expects them. Runs inside the exchange slot; never re-entered.
    virtual void poll(link::Link &link) { Q_UNUSED(link); }
};

} // namespace ui
