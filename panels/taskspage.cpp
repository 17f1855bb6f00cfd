// The tasks tab. Each row reads its task's step from the task area of the
// memory blocks and its status from the controller, in one exchange.
#include "panels/taskspage.h"

#include "link/link.h"
#include "link/textutil.h"
#include "panels/tasks.h"
#include "ui/controls.h"
#include "ui/freshness.h"
#include "ui/lockedcontrols.h"
#include "ui/stepper.h"
#include "ui/uihelpers.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ui;

namespace panels {

TasksPage::TasksPage(wire::Link &link, const WatchLock &lock, QWidget *parent)
    : ui::Page(parent), m_link(link), m_lock(lock)
{
    auto *h = new QHBoxLayout(this);
    h->setSpacing(10);

    auto *tasks = new QGroupBox(QStringLiteral("Tasks"));
    auto *g = new QGridLayout(tasks);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);
    m_taskNoSelect = makeField(QStringLiteral("textfieldTaskNoSelect"), QString(), 5);
    m_taskNoSelect->setFixedWidth(charWidth(5));
    m_taskNoSelect->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(caption(QStringLiteral("First task"), m_taskNoSelect));
    row->addWidget(m_taskNoSelect);
    m_stepper = makeStepper(QStringLiteral("stepperTaskNoSelect"), QStringLiteral("Step the first task"));
    // A step beyond the last first task the rows can take is refused.
    m_stepper->setRange(std::numeric_limits<qint64>::min(), kTaskMaxFirst);
    row->addWidget(m_stepper);
    row->addStretch(1);
    g->addLayout(row, 0, 0, 1, 3);
    g->addWidget(header(QStringLiteral("Task")), 1, 0);
    g->addWidget(header(QStringLiteral("Step")), 1, 1);
    g->addWidget(header(QStringLiteral("Status")), 1, 2);
    const struct
    {
        const char *name;
        const char *what;
        int chars;
        std::array<QLineEdit *, kRows> *fields;
    } cols[] = {{"textfieldTaskNo", "number", 5, &m_taskNo},
                {"textfieldTaskStep", "step", 10, &m_step},
                {"textfieldTaskStatus", "status", 6, &m_status}};
    for (int i = 0; i < kRows; ++i) {
        const QString n = QString::number(i);
        for (int c = 0; c < 3; ++c) {
            QLineEdit *e = makeDisplay(QLatin1String(cols[c].name) + n,
                                       QStringLiteral("Task row %1 %2").arg(n, QLatin1String(cols[c].what)),
                                       cols[c].chars);
            e->setFixedWidth(charWidth(cols[c].chars));
            g->addWidget(e, i + 2, c);
            (*cols[c].fields)[i] = e;
        }
    }
    auto *left = new QVBoxLayout;
    left->addWidget(tasks);
    left->addStretch(1);
    h->addLayout(left);

    auto *side = new QVBoxLayout;
    side->setSpacing(8);
    auto *legend = new QGroupBox(QStringLiteral("Reading the table"));
    auto *lv = new QVBoxLayout(legend);
    const QString stepLine = QStringLiteral("Step: the program line the task stands on.");
    const QString statusLine = QStringLiteral("Status: 0 stopped, 1 running, 3 stopped at a breakpoint.");
    const QString areaLine =
        QStringLiteral("The running tasks write their steps to MBK(7772) \u2026 MBK(7899).");
    auto *text = named(new QLabel(stepLine + QLatin1Char('\n') + statusLine),
                       QStringLiteral("multilineLabelTaskStatus"));
    text->setWordWrap(true);
    lv->addWidget(text);
    side->addWidget(legend);

    auto *area = new QGroupBox(QStringLiteral("Task area"));
    auto *av = new QVBoxLayout(area);
    av->addWidget(hint(areaLine));
    auto *clearRow = new QHBoxLayout;
    m_areaClear = makeButton(QStringLiteral("buttonTaskMbkAreaClear"), QStringLiteral("Clear task area"),
                             QStringLiteral("Fill the task area of the memory blocks with 0"));
    (new LockedControls(lock, this))->add(m_areaClear);
    clearRow->addWidget(m_areaClear);
    clearRow->addStretch(1);
    av->addLayout(clearRow);
    side->addWidget(area);
    side->addStretch(1);

    auto *sideWidget = new QWidget;
    sideWidget->setLayout(side);
    side->setContentsMargins(0, 0, 0, 0);
    // Wide enough that none of the explanations breaks in the middle.
    const QFontMetrics fm(font());
    int widest = 0;
    for (const QString &line : {stepLine, statusLine, areaLine})
        widest = qMax(widest, fm.horizontalAdvance(line));
    sideWidget->setFixedWidth(qMax(380, widest + 48));
    h->addWidget(sideWidget);
    h->addStretch(1);

    // The stepper acts on its arrows, and on a typed value once it is
    // entered, not on every digit.
    m_stepper->setKeyboardTracking(false);
    connect(m_taskNoSelect, &QLineEdit::returnPressed, this, &TasksPage::onTaskNoSelectEntered);
    connect(m_stepper, &Stepper::valueChanged, this, &TasksPage::onStepperChanged);
    connect(m_areaClear, &QPushButton::clicked, this, &TasksPage::onAreaClearClicked);
    // Typed but not entered shows red; only typing counts, not text the
    // program sets.
    connect(m_taskNoSelect, &QLineEdit::textEdited, this, [this] { setTextColor(m_taskNoSelect, kRed); });

    // The rows start at task 0.
    m_taskNoSelect->setText(QStringLiteral("0"));
    onTaskNoSelectEntered();
}

QCoro::Task<> TasksPage::poll(wire::Link &link)
{
    for (int row = 0; row < kRows; ++row)
        co_await taskvalueshow(link, row);
}

QCoro::Task<> TasksPage::taskvalueshow(wire::Link &link, int row)
{
    const std::optional<QString> command = taskReadCommand(m_taskNo[row]->text());
    if (!command)
        co_return;
    const std::optional<QString> reply = co_await link.exchange(*command);
    if (!reply)
        co_return;
    emit replyRead(*command, *reply);
    // A row moved to another task meanwhile shows nothing of the old one.
    if (taskReadCommand(m_taskNo[row]->text()) != command)
        co_return;
    const TaskValues v = parseTaskReply(*reply);
    if (v.step)
        m_step[row]->setText(*v.step);
    if (v.status)
        m_status[row]->setText(*v.status);
    if (v.step)
        ui::Freshness::confirm({m_step[row]});
    if (v.status)
        ui::Freshness::confirm({m_status[row]});
}

void TasksPage::layOutRows(const std::array<QString, kRows> &rows)
{
    for (int r = 0; r < kRows; ++r) {
        const QString &task = rows.at(static_cast<size_t>(r));
        // A row moved to another task shows nothing of the one before.
        if (m_taskNo[r]->text() != task) {
            m_step[r]->clear();
            m_status[r]->clear();
        }
        m_taskNo[r]->setText(task);
    }
}

void TasksPage::onTaskNoSelectEntered()
{
    const QString typed = m_taskNoSelect->text();
    const auto rows = taskRows(text::intOr(typed, 0));
    if (!rows) {
        setTextColor(m_taskNoSelect, kRed);
        return;
    }
    setTextColor(m_taskNoSelect, kBlack);
    m_stepper->follow(text::intOr(typed, 0));
    layOutRows(*rows);
}

void TasksPage::onStepperChanged()
{
    const auto rows = taskRows(m_stepper->value());
    if (rows)
        layOutRows(*rows);
}

void TasksPage::onAreaClearClicked()
{
    m_link.enqueue(wire::unlessLocked(m_lock, [this]() -> QCoro::Task<> {
        const std::optional<QString> reply = co_await m_link.exchange(taskAreaClearCommand());
        if (reply)
            wire::trace(QStringLiteral("TASK MBK Area Cleared"));
    }));
}

QList<ui::Plottable> TasksPage::plottables() const
{
    QList<ui::Plottable> out;
    for (int i = 0; i < kRows; ++i) {
        QLineEdit *task = m_taskNo[static_cast<size_t>(i)];
        out.append({QStringLiteral("Tasks"), m_step[static_cast<size_t>(i)],
                    [task] { return taskProbe(task->text()); }});
    }
    return out;
}

} // namespace panels
