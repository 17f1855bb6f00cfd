#include "trend/install.h"

#include "link/link.h"
#include "monitor/poller.h"
#include "trend/trenddock.h"
#include "ui/page.h"
#include "ui/pagetabs.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTabWidget>
#include <algorithm>

namespace trend {

namespace {

// What a tick step does on a page the trend does not sample.
QCoro::Task<> nothingToRead()
{
    co_return;
}

// Adds "Plot" to the context menu of every value control.
class PlotMenus : public QObject
{
public:
    explicit PlotMenus(TrendDock *dock) : QObject(dock), m_dock(dock) {}

    // The values of a page just built.
    void add(const QList<ui::Plottable> &spots)
    {
        for (const ui::Plottable &s : spots)
            s.widget->installEventFilter(this);
        m_spots += spots;
    }

    QVector<Choice> choices() const
    {
        QVector<Choice> out;
        for (const ui::Plottable &s : m_spots) {
            if (const std::optional<Probe> p = s.probe())
                out.append(Choice{s.group, *p});
        }
        return out;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ContextMenu)
            return false;
        const auto it = std::find_if(m_spots.cbegin(), m_spots.cend(),
                                     [watched](const ui::Plottable &s) { return s.widget == watched; });
        if (it == m_spots.end())
            return false;
        auto *edit = qobject_cast<QLineEdit *>(it->widget);
        QMenu *menu = edit ? edit->createStandardContextMenu() : new QMenu(it->widget);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        if (edit)
            menu->addSeparator();
        QAction *plot = menu->addAction(QStringLiteral("Plot"));
        plot->setObjectName(QStringLiteral("actionTrendPlot"));
        const std::optional<Probe> probe = it->probe();
        plot->setEnabled(probe && m_dock->canAdd(*probe));
        if (probe) {
            const Probe p = *probe;
            QObject::connect(plot, &QAction::triggered, m_dock, [dock = m_dock, p] { dock->addSeries(p); });
        }
        menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }

private:
    TrendDock *m_dock;
    QList<ui::Plottable> m_spots;
};

} // namespace

TrendDock *install(QMainWindow &window, QMenu &viewMenu, QTabWidget &tabs, wire::Link &link, Dialogs &dialogs,
                   Clock &clock, monitor::Poller &poller, ui::PageTabs &pages,
                   std::function<std::optional<int>()> axisBoard)
{
    auto *dock = new TrendDock(link, dialogs, clock, &window);
    window.addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    QAction *toggle = dock->toggleViewAction();
    toggle->setObjectName(QStringLiteral("menuViewTrend"));
    toggle->setStatusTip(QStringLiteral("Plot polled values over time"));
    viewMenu.addAction(toggle);

    // Only the ticks of the monitor pages sample. The console's ticks read
    // nothing on purpose: a read there would wait for a prompt in the middle
    // of console traffic (swallowing a breakpoint banner or a listing line,
    // and ending breakpoint mode with its own prompt).
    auto *menus = new PlotMenus(dock);
    const auto take = [dock, menus](ui::Page *page) {
        QObject::connect(page, &ui::Page::replyRead, dock, &TrendDock::pageRead);
        menus->add(page->plottables());
    };
    QList<int> monitorTabs;
    for (int i = 0; i < pages.count(); ++i) {
        if (pages.kind(i) != ui::PageTabs::Kind::Monitor)
            continue;
        monitorTabs.append(i);
        if (ui::Page *page = pages.builtPage(i))
            take(page);
    }
    // The pages built later: the tabs are fixed, so which of them are
    // monitor pages is known now.
    QObject::connect(&pages, &ui::PageTabs::built, dock, [take, monitorTabs](int index, ui::Page *page) {
        if (monitorTabs.contains(index))
            take(page);
    });
    // The dock's own reads follow the page's in the same tick.
    // A tick that read a page the poll has since left (the console chosen
    // while it ran) samples nothing: the plot has already said it stopped.
    poller.addTickStep(
        [dock = QPointer<TrendDock>(dock), &pages, &poller, monitorTabs](ui::Page *page) -> QCoro::Task<> {
            if (!dock || !page)
                return nothingToRead();
            for (int index : monitorTabs) {
                if (pages.builtPage(index) == page)
                    return dock->pagePolled(poller.page() == page);
            }
            return nothingToRead();
        });
    // Axis values come from the Axis page's board, which the dock selects
    // again after each change of tab, as that page does. A tab that is no
    // monitor page (the console) stops polling at once; Stop and a lost
    // connection show when the ticks stop coming.
    dock->setAxisBoard(std::move(axisBoard));
    QObject::connect(&tabs, &QTabWidget::currentChanged, dock, [dock, monitorTabs](int index) {
        dock->reselectBoard();
        if (!monitorTabs.contains(index))
            dock->setPollingStopped(true);
    });
    // Ticks end further apart than the second that means "stopped" when the
    // controller answers slowly; every reply inside one shows it still runs.
    QObject::connect(&link, &wire::Link::replied, dock, [dock, ticking = QPointer<monitor::Poller>(&poller)] {
        if (ticking && ticking->inTick())
            dock->tickGoesOn();
    });
    QObject::connect(&link, &wire::Link::stateChanged, dock, [dock](wire::State state, wire::Reason) {
        if (state == wire::State::Closing || state == wire::State::Disconnected)
            dock->setPollingStopped(true);
    });
    // What the "+" menu offers: every monitor page's values, so every page
    // is built by the time it opens.
    dock->setChoices([menus, &pages] {
        pages.buildAll();
        return menus->choices();
    });
    return dock;
}

} // namespace trend
