#include "trend/install.h"

#include "app/mainwindow.h"
#include "axis/axispage.h"
#include "link/link.h"
#include "link/textutil.h"
#include "monitor/banks.h"
#include "monitor/bits.h"
#include "monitor/cupage.h"
#include "monitor/iopage.h"
#include "monitor/poller.h"
#include "monitor/tabs.h"
#include "panels/mbkpage.h"
#include "panels/taskspage.h"
#include "panels/variablespage.h"
#include "trend/trenddock.h"
#include "ui/page.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QRadioButton>
#include <functional>
#include <vector>

namespace trend {

namespace {

// What a tick step does on a page the trend does not sample.
QCoro::Task<> nothingToRead()
{
    co_return;
}

// A control that shows a plottable value, and how to name that value from
// what the page shows right now (bank, row address, variable name...).
struct Spot
{
    QString group;
    QWidget *widget = nullptr;
    std::function<std::optional<Probe>()> probe;
};

template <typename T> T *control(MainWindow &w, const QString &name)
{
    return w.findChild<T *>(name);
}

// Finds the value controls by their names, page by page, in tab order.
std::vector<Spot> findSpots(MainWindow &w)
{
    std::vector<Spot> spots;
    const auto add = [&spots](const QString &group, QWidget *widget,
                              std::function<std::optional<Probe>()> f) {
        if (widget)
            spots.push_back(Spot{group, widget, std::move(f)});
    };
    struct Bits
    {
        const char *group;
        monitor::BitGroup bits;
        const char *prefix;
        const char *popup;
    };
    const auto addBits = [&](const Bits &b) {
        QComboBox *popup = control<QComboBox>(w, QLatin1String(b.popup));
        if (!popup)
            return;
        for (int k = 0; k < monitor::lampCount(b.bits); ++k) {
            add(QLatin1String(b.group), control<QLabel>(w, QLatin1String(b.prefix) + QString::number(k)),
                [popup, g = b.bits, k] { return bitProbe(g, monitor::bankWord(popup->currentText()), k); });
        }
    };
    addBits({"Outputs", monitor::BitGroup::Outputs, "labelOut", "popupbuttonOutBank"});
    addBits({"Inputs", monitor::BitGroup::Inputs, "labelInp", "popupbuttonInpBank"});
    addBits({"Internal relays", monitor::BitGroup::Relays, "labelMemio", "popupbuttonMemioBank"});

    for (int i = 0; i < 8; ++i) {
        const QString n = QString::number(i);
        QLineEdit *name = control<QLineEdit>(w, QStringLiteral("textfieldVariName") + n);
        add(QStringLiteral("Variables"), control<QLabel>(w, QStringLiteral("textfieldVariValue") + n),
            [name]() -> std::optional<Probe> {
                if (!name)
                    return std::nullopt;
                return variableProbe(text::trimBlanks(name->text()));
            });
    }

    QRadioButton *sizeInt = control<QRadioButton>(w, QStringLiteral("radiobuttonMbkSizeInt"));
    QRadioButton *sizeWrd = control<QRadioButton>(w, QStringLiteral("radiobuttonMbkSizeWrd"));
    QRadioButton *sizeLng = control<QRadioButton>(w, QStringLiteral("radiobuttonMbkSizeLng"));
    const auto mbkSize = [sizeInt, sizeWrd, sizeLng] {
        if (sizeInt && sizeInt->isChecked())
            return panels::MbkSize::Int;
        if (sizeWrd && sizeWrd->isChecked())
            return panels::MbkSize::Wrd;
        if (sizeLng && sizeLng->isChecked())
            return panels::MbkSize::Lng;
        return panels::MbkSize::None;
    };
    for (int i = 0; i < 8; ++i) {
        const QString n = QString::number(i);
        QLineEdit *adr = control<QLineEdit>(w, QStringLiteral("textfieldMbkAdr") + n);
        add(QStringLiteral("MBK"), control<QLineEdit>(w, QStringLiteral("textfieldMbkData") + n),
            [adr, mbkSize]() -> std::optional<Probe> {
                if (!adr)
                    return std::nullopt;
                return mbkProbe(adr->text(), mbkSize());
            });
    }
    addBits({"MBK bits", monitor::BitGroup::MbkBits, "labelMbkIo", "popupbuttonMbkIoBank"});
    addBits({"CU outputs", monitor::BitGroup::CuOutputs, "labelCuOut", "popupbuttonCuOutBank"});
    addBits({"CU inputs", monitor::BitGroup::CuInputs, "labelCuInp", "popupbuttonCuInpBank"});

    const char axes[] = "XYUZ";
    for (bool counter : {false, true}) {
        for (int a = 0; a < 4; ++a) {
            const QString name =
                (counter ? QStringLiteral("labelPgCounter") : QStringLiteral("labelPgCurrentPos")) +
                QLatin1Char(axes[a]);
            add(QStringLiteral("Axis"), control<QLabel>(w, name),
                [counter, a]() -> std::optional<Probe> { return axisProbe(counter, a); });
        }
    }

    for (int i = 0; i < 8; ++i) {
        const QString n = QString::number(i);
        QLineEdit *task = control<QLineEdit>(w, QStringLiteral("textfieldTaskNo") + n);
        add(QStringLiteral("Tasks"), control<QLineEdit>(w, QStringLiteral("textfieldTaskStep") + n),
            [task]() -> std::optional<Probe> {
                if (!task)
                    return std::nullopt;
                return taskProbe(task->text());
            });
    }
    return spots;
}

// Adds "Plot" to the context menu of every value control.
class PlotMenus : public QObject
{
public:
    PlotMenus(TrendDock *dock, std::vector<Spot> spots)
        : QObject(dock), m_dock(dock), m_spots(std::move(spots))
    {
        for (const Spot &s : m_spots)
            s.widget->installEventFilter(this);
    }

    QVector<Choice> choices() const
    {
        QVector<Choice> out;
        for (const Spot &s : m_spots) {
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
        const auto it = std::find_if(m_spots.begin(), m_spots.end(),
                                     [watched](const Spot &s) { return s.widget == watched; });
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
    std::vector<Spot> m_spots;
};

} // namespace

TrendDock *install(MainWindow &window)
{
    auto *dock = new TrendDock(window.link(), window.dialogs(), window.clock(), &window);
    window.addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    QAction *toggle = dock->toggleViewAction();
    toggle->setObjectName(QStringLiteral("menuViewTrend"));
    toggle->setStatusTip(QStringLiteral("Plot polled values over time"));
    window.viewMenu()->addAction(toggle);

    // Only the ticks of the monitor pages sample. The console's ticks read
    // nothing on purpose: a read there would wait for a prompt in the middle
    // of console traffic (swallowing a breakpoint banner or a listing line,
    // and ending breakpoint mode with its own prompt).
    const QList<ui::Page *> monitorPages = {&window.ioPage(), &window.variablesPage(), &window.mbkPage(),
                                            &window.cuPage(), &window.axisPage(),      &window.tasksPage()};
    for (ui::Page *page : monitorPages)
        QObject::connect(page, &ui::Page::replyRead, dock, &TrendDock::pageRead);
    // The dock's own reads follow the page's in the same tick.
    window.poller().addTickStep(
        [dock = QPointer<TrendDock>(dock), monitorPages](ui::Page *page) -> QCoro::Task<> {
            if (!dock || !page || !monitorPages.contains(page))
                return nothingToRead();
            return dock->pagePolled();
        });
    // Axis values come from the Axis page's board, which the dock selects
    // again after each change of tab, as that page does. The console tab
    // stops polling at once; Stop and a lost connection show when the ticks
    // stop coming.
    dock->setAxisBoard([axis = &window.axisPage()] { return axis->acceptedBoard(); });
    QObject::connect(&window, &MainWindow::currentTabChanged, dock, [dock](monitor::Tab tab) {
        dock->reselectBoard();
        if (tab == monitor::Tab::Console)
            dock->setPollingStopped(true);
    });
    QObject::connect(&window.link(), &wire::Link::stateChanged, dock,
                     [dock](wire::State state, wire::Reason) {
                         if (state == wire::State::Closing || state == wire::State::Disconnected)
                             dock->setPollingStopped(true);
                     });

    auto *menus = new PlotMenus(dock, findSpots(window));
    dock->setChoices([menus] { return menus->choices(); });
    return dock;
}

} // namespace trend
