// A tab of the monitor: a widget that builds and owns its controls and reads
// what it shows from the controller when the poll ticks while it is selected.
#pragma once

#include <QCoroTask>
#include <QWidget>

namespace wire {
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
    virtual QCoro::Task<> poll(wire::Link &link)
    {
        Q_UNUSED(link);
        co_return;
    }

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
