// A tab of the monitor: a widget that builds and owns its controls and reads
// what it shows from the controller when the poll ticks while it is selected.
#pragma once

#include "ui/plotprobe.h"

#include <QCoroTask>
#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace wire {
class Link;
}

namespace ui {

// A control of a page that shows a value the trend can plot, under its group
// ("Outputs", "Variables"...), and the value it shows right now (bank, row
// address, variable name...): nothing while it shows none that can be
// plotted.
struct Plottable
{
    QString group;
    QWidget *widget = nullptr;
    std::function<std::optional<PlotProbe>()> probe;
};

class Page : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // One poll tick: the page's exchanges, in the order the controller
    // expects them. Runs inside the exchange slot; never re-entered.
    virtual QCoro::Task<> poll(wire::Link &link)
    {
        Q_UNUSED(link);
        co_return;
    }

    // The page's controls whose values can be plotted, in the order the
    // page shows them; they live as long as the page.
    virtual QList<Plottable> plottables() const { return {}; }

    // What the poller runs: the page's exchanges, then polled() while the
    // slot is still held.
    QCoro::Task<> tick(wire::Link &link)
    {
        co_await poll(link);
        emit polled();
    }

signals:
    // A reply the page's poll has just read, with the command as sent: the
    // trend takes its values from here instead of reading them again.
    void replyRead(const QString &command, const QString &reply);
    void polled();
};

} // namespace ui
