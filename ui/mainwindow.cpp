// Builds the monitor window: the connection bar, the seven tab pages and the
// menus. Layout only; the ViewController wires the controls by their names.
#include "ui/mainwindow.h"

#include "link/link.h"
#include "monitor/cupage.h"
#include "monitor/iopage.h"
#include "monitor/tabs.h"
#include "ui/controls.h"
#include "ui/uihelpers.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace ui;

namespace {

// Positions, counters and the point table run X, Y, U, Z; the signal words
// pack the axes X, Y, Z, U, and the lamp arrays follow the words.
const QString kAxes = QStringLiteral("XYUZ");
const QString kSignalAxes = QStringLiteral("XYZU");

const QString kDash = QStringLiteral("\u2014");
const QString kMinus = QStringLiteral("\u2212");

QPushButton *makeTagButton(const QString &action, int tag, const QString &caption, const QString &toolTip)
{
    QPushButton *b = makeButton(action + QString::number(tag), caption, toolTip);
    b->setProperty("tag", tag);
    return b;
}

} // namespace

MainWindow::MainWindow(Dialogs *dialogs, Clock *clock, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_clock(clock), m_link(new link::Link(dialogs, this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("QuorinMonitor"));

    buildMenus();

    auto *central = new QWidget;
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(8, 6, 8, 8);
    v->setSpacing(6);
    v->addWidget(buildTopBar());

    auto *tabs = named(new QTabWidget, QStringLiteral("tabview"));
    tabs->setAccessibleName(QStringLiteral("Pages"));
    const struct
    {
        QWidget *page;
        const char *label;
    } pages[monitor::kTabCount] = {
        {buildConsolePage(), "Console"},      {new monitor::IoPage(*m_link), "I/O"},
        {buildVariablesPage(), "Variables"},  {buildMbkPage(), "MBK"},
        {new monitor::CuPage(*m_link), "CU"}, {buildAxisPage(), "Axis"},
        {buildTasksPage(), "Tasks"},
    };
    for (int i = 0; i < monitor::kTabCount; ++i) {
        pages[i].page->setProperty("identifier", monitor::tabIdentifier(static_cast<monitor::Tab>(i)));
        tabs->addTab(pages[i].page, QString::fromLatin1(pages[i].label));
    }
    v->addWidget(tabs, 1);
    setCentralWidget(central);

    resize(sizeHint().expandedTo(QSize(1200, 760)).boundedTo(QSize(1280, 800)));
}

MainWindow::~MainWindow() = default;

// ---------------------------------------------------------------- menus

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    m_menuOpenFile = new QAction(QStringLiteral("Open Program\u2026"), this);
    m_menuOpenFile->setObjectName(QStringLiteral("menuOpenFile"));
    m_menuOpenFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_menuOpenFile->setAutoRepeat(false); // a held Control+O opens one dialog
    m_menuOpenFile->setStatusTip(QStringLiteral("Load a program file into the controller"));
    file->addAction(m_menuOpenFile);
    m_menuSimulator = new QAction(QStringLiteral("Connect to Built-in Simulator"), this);
    m_menuSimulator->setObjectName(QStringLiteral("menuSimulator"));
    m_menuSimulator->setStatusTip(QStringLiteral("Try every tab on a simulated controller"));
    file->addAction(m_menuSimulator);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    m_menuAbout = new QAction(QStringLiteral("About QuorinMonitor"), this);
    m_menuAbout->setObjectName(QStringLiteral("menuAbout"));
    m_menuAbout->setMenuRole(QAction::AboutRole);
    help->addAction(m_menuAbout);
}

// ---------------------------------------------------------------- top bar

QWidget *MainWindow::buildTopBar()
{
    auto *bar = new QWidget;
    auto *h = new QHBoxLayout(bar);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);

    auto *address = named(new QLineEdit, QStringLiteral("textFieldIpAddress"));
    address->setPlaceholderText(QStringLiteral("host or host:port"));
    address->setMinimumWidth(charWidth(14, false));
    address->setMaximumWidth(charWidth(28, false));
    h->addWidget(caption(QStringLiteral("Controller"), address));
    h->addWidget(address, 1);
    h->addWidget(makeButton(QStringLiteral("buttonConnect"), QStringLiteral("Connect")));
    // The connect button itself reads "Disconnect" while connected; this one
    // is a plain stop button, so the bar never shows the same word twice.
    QPushButton *stop =
        makeButton(QStringLiteral("buttonDisconnect"), QString(), QStringLiteral("Disconnect"));
    stop->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    stop->setAccessibleName(QStringLiteral("Disconnect"));
    stop->setMinimumWidth(stop->sizeHint().height() + 8);
    stop->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    h->addWidget(stop);

    h->addSpacing(4);
    h->addWidget(separator());
    h->addSpacing(4);

    auto *timeout = named(new QLineEdit, QStringLiteral("textFieldTimeOutSec"));
    timeout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    timeout->setFixedWidth(charWidth(4, false));
    timeout->setToolTip(QStringLiteral("Seconds to wait for the controller's prompt"));
    h->addWidget(caption(QStringLiteral("Timeout (s)"), timeout));
    h->addWidget(timeout);

    h->addSpacing(4);
    h->addWidget(separator());
    h->addSpacing(4);

    h->addWidget(new QLabel(QStringLiteral("Monitoring")));
    h->addWidget(makeButton(QStringLiteral("buttonTimerStart"), QStringLiteral("Start"),
                            QStringLiteral("Start polling the selected page")));
    h->addWidget(makeButton(QStringLiteral("buttonTimerStop"), QStringLiteral("Stop"),
                            QStringLiteral("Stop polling")));
    auto *star = named(new QLabel(QStringLiteral("\u2605")), QStringLiteral("labelindicator"));
    QFont sf = star->font();
    sf.setPixelSize(20);
    star->setFont(sf);
    star->setAlignment(Qt::AlignCenter);
    star->setFixedWidth(QFontMetrics(sf).horizontalAdvance(QStringLiteral("\u2605")) + 8);
    star->setToolTip(QStringLiteral("Polling activity")); // heard as what it shows, "★3"
    retainSpaceWhenHidden(star);
    h->addWidget(star);

    auto *status = named(new QLineEdit, QStringLiteral("textField2"));
    status->setReadOnly(true);
    status->setFrame(false);
    status->setFocusPolicy(Qt::NoFocus);
    status->setAccessibleName(QStringLiteral("Status"));
    QPalette sp = status->palette();
    sp.setColor(QPalette::Base, Qt::transparent);
    status->setPalette(sp);
    status->setMinimumWidth(charWidth(8, false));
    h->addWidget(status, 2);

    h->addWidget(makeButton(QStringLiteral("buttonWindowClose"), QStringLiteral("Close"),
                            QStringLiteral("Close the window and end the program")));
    return bar;
}

// ---------------------------------------------------------------- console

QWidget *MainWindow::buildConsolePage()
{
    auto *page = new QWidget;
    auto *h = new QHBoxLayout(page);
    h->setSpacing(10);

    // Left: the terminal and the ways to type into it.
    auto *left = new QVBoxLayout;
    left->setSpacing(6);
    auto *console = named(new QPlainTextEdit, QStringLiteral("textView1"));
    QFont cf = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    cf.setPointSize(kConsolePointSize);
    console->setFont(cf);
    console->setAccessibleName(QStringLiteral("Console"));
    console->setMinimumSize(charWidth(40), 160);
    left->addWidget(console, 1);

    auto makeCombo = [this](const QString &name) {
        auto *c = named(new QComboBox, name);
        c->setEditable(true);
        // The history is kept by the program (most recent first, no
        // duplicates), and Escape must not open completions.
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(16);
        c->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        c->setMaxVisibleItems(12);
        c->setFont(monoFont());
        return c;
    };
    QComboBox *cmd = makeCombo(QStringLiteral("comboBox1"));
    QComboBox *line = makeCombo(QStringLiteral("comboBox2"));
    QComboBox *from = makeCombo(QStringLiteral("comboBox3"));
    auto *raw = makeField(QStringLiteral("textField1"), QString(), 16);
    raw->setPlaceholderText(QStringLiteral("Return sends the line; not kept in the history"));

    const int bw = buttonWidth({QStringLiteral("Send"), QStringLiteral("Enter line"), QStringLiteral("List"),
                                QStringLiteral("Next page"), QStringLiteral("Pick line"),
                                QStringLiteral("Clear history")});
    auto fixed = [bw](QPushButton *b) {
        b->setMinimumWidth(bw);
        return b;
    };
    auto *entry = new QGridLayout;
    entry->setHorizontalSpacing(6);
    entry->setVerticalSpacing(4);
    entry->addWidget(caption(QStringLiteral("Command"), cmd), 0, 0);
    entry->addWidget(cmd, 0, 1);
    entry->addWidget(fixed(makeButton(QStringLiteral("buttonSend"), QStringLiteral("Send"),
                                      QStringLiteral("Send the command (F7 focuses the field)"))),
                     0, 2);
    entry->addWidget(fixed(makeButton(QStringLiteral("buttonUDErase"), QStringLiteral("Clear history"),
                                      QStringLiteral("Forget the command history"))),
                     0, 3);
    entry->addWidget(caption(QStringLiteral("Program line"), line), 1, 0);
    entry->addWidget(line, 1, 1);
    entry->addWidget(fixed(makeButton(QStringLiteral("buttonProgramExec"), QStringLiteral("Enter line"),
                                      QStringLiteral("Store the program line (F5 focuses the field)"))),
                     1, 2);
    entry->addWidget(fixed(makeButton(QStringLiteral("buttonGetLineString"), QStringLiteral("Pick line"),
                                      QStringLiteral("Copy the program line under the console cursor (F6)"))),
                     1, 3);
    entry->addWidget(caption(QStringLiteral("List from"), from), 2, 0);
    entry->addWidget(from, 2, 1);
    entry->addWidget(fixed(makeButton(QStringLiteral("buttonList"), QStringLiteral("List"),
                                      QStringLiteral("List 20 lines from a line number or label (F3)"))),
                     2, 2);
    entry->addWidget(fixed(makeButton(QStringLiteral("buttonListNext"), QStringLiteral("Next page"),
                                      QStringLiteral("Continue the listing (F4)"))),
                     2, 3);
    entry->addWidget(caption(QStringLiteral("Quick line"), raw), 3, 0);
    entry->addWidget(raw, 3, 1, 1, 3);
    entry->setColumnStretch(1, 1);
    left->addLayout(entry);

    auto *keys = new QHBoxLayout;
    keys->setSpacing(6);
    keys->addWidget(makeButton(QStringLiteral("buttonRun"), QStringLiteral("Run"),
                               QStringLiteral("Start the program (Ctrl+])")));
    keys->addWidget(makeButton(QStringLiteral("buttonCtrlA"), QStringLiteral("Ctrl-A"),
                               QStringLiteral("Send the attention byte 0x01 (Ctrl+\\)")));
    keys->addWidget(
        makeButton(QStringLiteral("buttonCr"), QStringLiteral("CR"), QStringLiteral("Send an empty line")));
    keys->addWidget(makeButton(QStringLiteral("buttonQ"), QStringLiteral("Q"), QStringLiteral("Send Q")));
    keys->addStretch(1);
    keys->addWidget(makeButton(QStringLiteral("ButtonReceive"), QStringLiteral("Receive"),
                               QStringLiteral("Arm one more receive")));
    keys->addWidget(makeButton(QStringLiteral("buttonViewTextClear"), QStringLiteral("Clear console"),
                               QStringLiteral("Empty the console (F2)")));
    auto *scroll = named(new QCheckBox(QStringLiteral("Live output")), QStringLiteral("checkboxScroll"));
    scroll->setToolTip(QStringLiteral("Show what the controller sends (F8 toggles)"));
    scroll->setChecked(true);
    keys->addWidget(scroll);
    left->addLayout(keys);
    h->addLayout(left, 1);

    // Right: compact panels for debugging, transfers and tools.
    auto *side = new QVBoxLayout;
    side->setSpacing(8);

    auto *bkp = new QGroupBox(QStringLiteral("Breakpoints"));
    auto *bg = new QGridLayout(bkp);
    bg->setHorizontalSpacing(6);
    bg->setVerticalSpacing(4);
    auto *target = makeField(QStringLiteral("textFieldBkpNumber"), QString(), 8);
    target->setPlaceholderText(QStringLiteral("step or label"));
    bg->addWidget(caption(QStringLiteral("Step / label"), target), 0, 0);
    bg->addWidget(target, 0, 1);
    bg->addWidget(
        makeButton(QStringLiteral("buttonBkpAddDel"), QStringLiteral("Add/Delete"),
                   QStringLiteral("Toggle a breakpoint at the step or label (or the console selection)")),
        0, 2);
    bg->addWidget(makeButton(QStringLiteral("buttonBkpEnum"), QStringLiteral("List"),
                             QStringLiteral("List the breakpoints")),
                  1, 1);
    bg->addWidget(makeButton(QStringLiteral("buttonBkpAllClr"), QStringLiteral("Clear all"),
                             QStringLiteral("Remove every breakpoint")),
                  1, 2);
    bg->addWidget(makeButton(QStringLiteral("buttonBkpN"), QStringLiteral("Continue"),
                             QStringLiteral("Continue from the breakpoint (N)")),
                  2, 1);
    bg->addWidget(makeButton(QStringLiteral("buttonBkpT"), QStringLiteral("Step"),
                             QStringLiteral("Execute one line (T)")),
                  2, 2);
    auto *vname = makeField(QStringLiteral("textFieldBkpVariName"), QString(), 8);
    vname->setPlaceholderText(QStringLiteral("name"));
    bg->addWidget(caption(QStringLiteral("Variable"), vname), 3, 0);
    bg->addWidget(vname, 3, 1);
    bg->addWidget(makeButton(QStringLiteral("buttonBkpVari"), QStringLiteral("Print"),
                             QStringLiteral("Print the variable (or the console selection)")),
                  3, 2);
    bg->setColumnStretch(1, 1);
    side->addWidget(bkp);

    auto *xfer = new QGroupBox(QStringLiteral("Transfer"));
    auto *xg = new QGridLayout(xfer);
    xg->setHorizontalSpacing(6);
    xg->setVerticalSpacing(4);
    xg->addWidget(makeButton(QStringLiteral("buttonFileOpen"), QStringLiteral("Program Load"),
                             QStringLiteral("Send a program file to the controller")),
                  0, 0);
    xg->addWidget(makeButton(QStringLiteral("buttonFileSave"), QStringLiteral("Program Save"),
                             QStringLiteral("Save the controller's program to a file")),
                  0, 1);
    xg->addWidget(makeButton(QStringLiteral("buttonPointLoad"), QStringLiteral("Point Load"),
                             QStringLiteral("Send a point file to the controller")),
                  1, 0);
    xg->addWidget(makeButton(QStringLiteral("buttonPointSave"), QStringLiteral("Point Save"),
                             QStringLiteral("Save the controller's points to a file")),
                  1, 1);
    xg->addWidget(makeButton(QStringLiteral("buttonMbkLoad"), QStringLiteral("MBK Load"),
                             QStringLiteral("Send an MBK file to the controller")),
                  2, 0);
    xg->addWidget(makeButton(QStringLiteral("buttonMbkSave"), QStringLiteral("MBK Save"),
                             QStringLiteral("Save the controller's memory blocks to a file")),
                  2, 1);
    side->addWidget(xfer);

    auto *tools = new QGroupBox(QStringLiteral("Tools"));
    auto *tg = new QGridLayout(tools);
    tg->setHorizontalSpacing(6);
    tg->setVerticalSpacing(4);
    tg->addWidget(makeButton(QStringLiteral("buttonRtcCheck"), QStringLiteral("Read clock"),
                             QStringLiteral("Print the controller's date and time")),
                  0, 0);
    tg->addWidget(makeButton(QStringLiteral("buttonRtcAdj"), QStringLiteral("Set clock"),
                             QStringLiteral("Set the controller's clock from this computer")),
                  0, 1);
    tg->addWidget(makeButton(QStringLiteral("buttonMon"), QStringLiteral("Monitor"),
                             QStringLiteral("Show the task monitor")),
                  1, 0);
    tg->addWidget(makeButton(QStringLiteral("buttonMonList"), QStringLiteral("Monitor + lines"),
                             QStringLiteral("Show the task monitor with each task's program line (Ctrl+M)")),
                  1, 1);
    side->addWidget(tools);
    side->addStretch(1);

    auto *sideWidget = new QWidget;
    sideWidget->setLayout(side);
    side->setContentsMargins(0, 0, 0, 0);
    sideWidget->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    h->addWidget(sideWidget);
    return page;
}

// ---------------------------------------------------------------- bit groups

QGroupBox *MainWindow::buildBitGroup(const BitGroup &g)
{
    auto *box = new QGroupBox(g.title);

    QComboBox *popup =
        makePopup(g.popup, QStringLiteral("Bank of the %1 area to watch").arg(g.what.toLower()), 20);
    QLabel *stat = makeReadout(g.stat, g.what + QStringLiteral(" value"), g.bits == 16 ? 7 : 5);
    stat->setText(kDash);
    stat->setAlignment(Qt::AlignCenter);
    stat->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QPushButton *clear = nullptr;
    if (g.clearTag >= 0)
        clear = makeTagButton(g.action, g.clearTag, g.clearCaption, g.clearCaption);

    auto *lamps = new QGridLayout;
    lamps->setHorizontalSpacing(4);
    lamps->setVerticalSpacing(2);
    const bool forcing = !g.action.isEmpty();
    const int bw = buttonWidth({QStringLiteral("OFF"), QStringLiteral("ON")});
    const QString lower = g.what.toLower();
    for (int k = 0; k < g.bits; ++k) {
        // Most significant bit on the left, as the bank titles read.
        const int col = g.bits - 1 - k;
        const QString idx = QString::number(k);
        const QString what = g.what + QStringLiteral(" bit ") + idx;
        lamps->addWidget(makeLamp(g.prefix + idx, what, kLampPixelSize), 0, col, Qt::AlignHCenter);
        auto *no = named(new QLabel(kDash), g.prefix + idx + QStringLiteral("BitNo"));
        no->setFont(monoFont());
        no->setAlignment(Qt::AlignCenter);
        lamps->addWidget(no, 1, col, Qt::AlignHCenter);
        if (forcing) {
            QPushButton *on = makeTagButton(g.action, g.onBase + k, QStringLiteral("ON"),
                                            QStringLiteral("Switch %1 %2 on").arg(lower, idx));
            QPushButton *off = makeTagButton(g.action, g.offBase + k, QStringLiteral("OFF"),
                                             QStringLiteral("Switch %1 %2 off").arg(lower, idx));
            on->setFixedWidth(bw);
            off->setFixedWidth(bw);
            lamps->addWidget(on, 2, col, Qt::AlignHCenter);
            lamps->addWidget(off, 3, col, Qt::AlignHCenter);
        }
        lamps->setColumnStretch(col, 1);
        lamps->setColumnMinimumWidth(
            col, qMax(bw, QFontMetrics(monoFont()).horizontalAdvance(QStringLiteral("-00000")) + 4));
    }

    if (g.headerOnTop) {
        auto *v = new QVBoxLayout(box);
        auto *top = new QHBoxLayout;
        top->addWidget(caption(QStringLiteral("Bank"), popup));
        top->addWidget(popup);
        top->addSpacing(12);
        top->addWidget(caption(QStringLiteral("Value"), stat));
        top->addWidget(stat);
        top->addStretch(1);
        if (clear)
            top->addWidget(clear);
        v->addLayout(top);
        v->addLayout(lamps);
    } else {
        auto *h = new QHBoxLayout(box);
        h->setSpacing(16);
        auto *form = new QGridLayout;
        form->setVerticalSpacing(6);
        form->addWidget(caption(QStringLiteral("Bank"), popup), 0, 0);
        form->addWidget(popup, 0, 1);
        form->addWidget(caption(QStringLiteral("Value"), stat), 1, 0);
        form->addWidget(stat, 1, 1, Qt::AlignLeft);
        if (clear)
            form->addWidget(clear, 2, 1, Qt::AlignLeft);
        form->setRowStretch(3, 1);
        h->addLayout(form);
        auto *sep = new QFrame;
        sep->setFrameShape(QFrame::VLine);
        sep->setFrameShadow(QFrame::Sunken);
        h->addWidget(sep);
        h->addLayout(lamps, 1);
    }
    return box;
}

// ---------------------------------------------------------------- variables

QWidget *MainWindow::buildVariablesPage()
{
    auto *page = new QWidget;
    auto *h = new QHBoxLayout(page);
    h->setSpacing(10);

    auto *watch = new QGroupBox(QStringLiteral("Watched variables"));
    auto *g = new QGridLayout(watch);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(5);
    auto *all = named(new QCheckBox(QStringLiteral("All")), QStringLiteral("checkboxVariAll"));
    all->setToolTip(QStringLiteral("Watch every row that has a name"));
    g->addWidget(all, 0, 0);
    g->addWidget(header(QStringLiteral("Name")), 0, 1);
    g->addWidget(header(QStringLiteral("Value")), 0, 2);
    for (int i = 0; i < 8; ++i) {
        const QString n = QString::number(i);
        auto *check = named(new QCheckBox, QStringLiteral("checkboxVari") + n);
        check->setAccessibleName(QStringLiteral("Watch variable ") + n);
        check->setToolTip(QStringLiteral("Watch this row"));
        g->addWidget(check, i + 1, 0);
        QLineEdit *name =
            makeField(QStringLiteral("textfieldVariName") + n, QStringLiteral("Variable %1 name").arg(n), 16);
        name->setMaximumWidth(charWidth(24));
        g->addWidget(name, i + 1, 1);
        QLabel *value = makeReadout(QStringLiteral("textfieldVariValue") + n,
                                    QStringLiteral("Variable %1 value").arg(n), 24);
        // String values arrive as styled text (grey escapes); numbers plain.
        value->setTextFormat(Qt::AutoText);
        value->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        g->addWidget(value, i + 1, 2);
    }
    g->setColumnStretch(2, 1);

    auto *left = new QVBoxLayout;
    left->addWidget(watch);
    left->addStretch(1);
    h->addLayout(left, 1);

    auto *side = new QVBoxLayout;
    side->setSpacing(8);
    auto *display = new QGroupBox(QStringLiteral("Display"));
    auto *dh = new QHBoxLayout(display);
    auto *dec = named(new QRadioButton(QStringLiteral("Decimal")), QStringLiteral("radiobuttonVariTypeDec"));
    auto *hex = named(new QRadioButton(QStringLiteral("Hex")), QStringLiteral("radiobuttonVariTypeHex"));
    dec->setChecked(true);
    auto *grp = new QButtonGroup(display);
    grp->addButton(dec);
    grp->addButton(hex);
    dh->addWidget(dec);
    dh->addWidget(hex);
    dh->addStretch(1);
    side->addWidget(display);

    auto *assign = new QGroupBox(QStringLiteral("Assign"));
    auto *af = new QFormLayout(assign);
    af->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    QLineEdit *mn = makeField(QStringLiteral("textfieldVariModName"), QString(), 12);
    QLineEdit *mv = makeField(QStringLiteral("textfieldVariModValue"), QString(), 12);
    af->addRow(caption(QStringLiteral("Name"), mn), mn);
    af->addRow(caption(QStringLiteral("Value"), mv), mv);
    af->addRow(hint(QStringLiteral("Return in Value assigns it.")));
    side->addWidget(assign);

    auto *reply = new QGroupBox(QStringLiteral("Last reply"));
    auto *rv = new QVBoxLayout(reply);
    QLineEdit *last = makeField(QStringLiteral("textFieldVariable"), QStringLiteral("Last reply"), 12);
    last->setReadOnly(true);
    rv->addWidget(last);
    side->addWidget(reply);
    side->addStretch(1);

    auto *sideWidget = new QWidget;
    sideWidget->setLayout(side);
    side->setContentsMargins(0, 0, 0, 0);
    sideWidget->setFixedWidth(qMax(sideWidget->sizeHint().width(), 300));
    h->addWidget(sideWidget);
    return page;
}

// ---------------------------------------------------------------- MBK

QWidget *MainWindow::buildMbkPage()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    v->setSpacing(10);

    auto *top = new QHBoxLayout;
    top->setSpacing(10);
    auto *words = new QGroupBox(QStringLiteral("Memory block words"));
    auto *g = new QGridLayout(words);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);
    QLineEdit *start = makeField(QStringLiteral("textfieldMbkAdrSelect"), QString(), 8);
    start->setFixedWidth(charWidth(8));
    start->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *startRow = new QHBoxLayout;
    startRow->setSpacing(6);
    startRow->addWidget(caption(QStringLiteral("Start address"), start));
    startRow->addWidget(start);
    startRow->addWidget(
        makeStepper(QStringLiteral("stepperMbkAdrSelect"), QStringLiteral("Step the start address")));
    startRow->addStretch(1);
    g->addLayout(startRow, 0, 0, 1, 2);
    g->addWidget(header(QStringLiteral("Address")), 1, 0);
    g->addWidget(header(QStringLiteral("Value")), 1, 1);
    for (int i = 0; i < 8; ++i) {
        const QString n = QString::number(i);
        QLineEdit *adr = makeDisplay(QStringLiteral("textfieldMbkAdr") + n,
                                     QStringLiteral("MBK row %1 address").arg(n), 8);
        QLineEdit *data = makeDisplay(QStringLiteral("textfieldMbkData") + n,
                                      QStringLiteral("MBK row %1 value").arg(n), 12);
        adr->setFixedWidth(charWidth(8));
        data->setFixedWidth(charWidth(12));
        g->addWidget(adr, i + 2, 0);
        g->addWidget(data, i + 2, 1);
    }
    top->addWidget(words);

    auto *options = new QVBoxLayout;
    options->setSpacing(8);
    auto *size = new QGroupBox(QStringLiteral("Entry size"));
    auto *sh = new QHBoxLayout(size);
    auto *si = named(new QRadioButton(QStringLiteral("Int")), QStringLiteral("radiobuttonMbkSizeInt"));
    auto *sw = named(new QRadioButton(QStringLiteral("Word")), QStringLiteral("radiobuttonMbkSizeWrd"));
    auto *sl = named(new QRadioButton(QStringLiteral("Long")), QStringLiteral("radiobuttonMbkSizeLng"));
    si->setToolTip(QStringLiteral("~Int"));
    sw->setToolTip(QStringLiteral("~Wrd"));
    sl->setToolTip(QStringLiteral("~Lng: one entry spans two addresses"));
    si->setChecked(true);
    auto *sg = new QButtonGroup(size);
    for (QRadioButton *r : {si, sw, sl}) {
        sg->addButton(r);
        sh->addWidget(r);
    }
    sh->addStretch(1);
    options->addWidget(size);

    auto *display = new QGroupBox(QStringLiteral("Display"));
    auto *dh = new QHBoxLayout(display);
    auto *dec = named(new QRadioButton(QStringLiteral("Decimal")), QStringLiteral("radiobuttonMbkTypeDec"));
    auto *hex = named(new QRadioButton(QStringLiteral("Hex")), QStringLiteral("radiobuttonMbkTypeHex"));
    dec->setChecked(true);
    auto *tg = new QButtonGroup(display);
    tg->addButton(dec);
    tg->addButton(hex);
    dh->addWidget(dec);
    dh->addWidget(hex);
    dh->addStretch(1);
    options->addWidget(display);

    auto *write = new QGroupBox(QStringLiteral("Write"));
    auto *wf = new QFormLayout(write);
    QLineEdit *wa = makeField(QStringLiteral("textfieldMbkModAdr"), QString(), 8);
    QLineEdit *wd = makeField(QStringLiteral("textfieldMbkModData"), QString(), 12);
    wa->setFixedWidth(charWidth(8));
    wd->setFixedWidth(charWidth(12));
    wa->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    wd->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    wf->addRow(caption(QStringLiteral("Address"), wa), wa);
    wf->addRow(caption(QStringLiteral("Value"), wd), wd);
    wf->addRow(hint(QStringLiteral("Return in Value writes it with the entry size.")));
    options->addWidget(write);
    options->addStretch(1);

    auto *optionsWidget = new QWidget;
    optionsWidget->setLayout(options);
    options->setContentsMargins(0, 0, 0, 0);
    optionsWidget->setFixedWidth(qMax(optionsWidget->sizeHint().width(), 300));
    top->addWidget(optionsWidget);
    top->addStretch(1);
    v->addLayout(top);

    BitGroup bits;
    bits.title = QStringLiteral("MBK bit word");
    bits.prefix = QStringLiteral("labelMbkIo");
    bits.what = QStringLiteral("MBK");
    bits.popup = QStringLiteral("popupbuttonMbkIoBank");
    bits.stat = QStringLiteral("labelMbkIoStat");
    bits.bits = 16;
    bits.action = QStringLiteral("buttonMbkIoOnOff");
    bits.onBase = 0;
    bits.offBase = 16;
    bits.clearTag = 40;
    bits.clearCaption = QStringLiteral("Clear all MBK bits");
    bits.headerOnTop = true;
    v->addWidget(buildBitGroup(bits));
    v->addStretch(1);
    return page;
}

// ---------------------------------------------------------------- axis

QGroupBox *MainWindow::buildAxisSignals()
{
    auto *box = named(new QGroupBox(QStringLiteral("Signals")), QStringLiteral("boxPgIo"));
    retainSpaceWhenHidden(box);
    auto *g = new QGridLayout(box);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(0);
    const struct
    {
        const char *suffix;
        const char *head;
        const char *what;
    } kinds[] = {
        {"Plmt", "+LMT", "+LMT"}, {"Mlmt", "\u2212LMT", "-LMT"}, {"Alm", "ALM", "ALM"}, {"In0", "IN0", "IN0"},
        {"In1", "IN1", "IN1"},    {"In3", "IN3", "IN3"},         {"Inp", "INP", "INP"},
    };
    for (int c = 0; c < 7; ++c) {
        QLabel *head = header(QString::fromUtf8(kinds[c].head));
        head->setAlignment(Qt::AlignCenter);
        g->addWidget(head, 0, c + 1);
        g->setColumnStretch(c + 1, 1);
    }
    // Shown in the X, Y, U, Z order of the positions below.
    for (int r = 0; r < 4; ++r) {
        const QChar axis = kAxes.at(r);
        g->addWidget(axisLabel(axis), r + 1, 0);
        for (int c = 0; c < 7; ++c) {
            const QString name = QStringLiteral("labelPg") + axis + QLatin1String(kinds[c].suffix);
            g->addWidget(makeLamp(name, QStringLiteral("%1 %2").arg(axis).arg(QLatin1String(kinds[c].what)),
                                  kSignalLampPixelSize),
                         r + 1, c + 1, Qt::AlignCenter);
        }
    }
    return box;
}

QLabel *MainWindow::axisLabel(QChar axis)
{
    auto *l = new QLabel(QString(axis));
    QFont bf = l->font();
    bf.setBold(true);
    l->setFont(bf);
    return l;
}

QGroupBox *MainWindow::buildAxisPositions()
{
    auto *box =
        named(new QGroupBox(QStringLiteral("Position and counters")), QStringLiteral("boxPgCurrentPos"));
    retainSpaceWhenHidden(box);
    auto *g = new QGridLayout(box);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);
    g->addWidget(header(QStringLiteral("Position")), 0, 1);
    g->addWidget(header(QStringLiteral("Counter")), 0, 2);
    for (int r = 0; r < 4; ++r) {
        const QChar axis = kAxes.at(r);
        g->addWidget(axisLabel(axis), r + 1, 0);
        QLabel *pos = makeReadout(QStringLiteral("labelPgCurrentPos") + axis,
                                  QStringLiteral("%1 position").arg(axis), 11);
        QLabel *cnt =
            makeReadout(QStringLiteral("labelPgCounter") + axis, QStringLiteral("%1 counter").arg(axis), 11);
        for (QLabel *l : {pos, cnt}) {
            l->setText(QStringLiteral("0"));
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        g->addWidget(pos, r + 1, 1);
        g->addWidget(cnt, r + 1, 2);
    }
    g->addWidget(makeTagButton(QStringLiteral("buttonPgJog"), 17, QStringLiteral("Clear positions"),
                               QStringLiteral("Set the current positions of all axes to 0 (asks first)")),
                 5, 1);
    g->addWidget(makeTagButton(QStringLiteral("buttonPgJog"), 14, QStringLiteral("Clear counters"),
                               QStringLiteral("Set the counters of all axes to 0 (asks first)")),
                 5, 2);

    auto *regLine = new QFrame;
    regLine->setFrameShape(QFrame::HLine);
    regLine->setFrameShadow(QFrame::Sunken);
    g->addWidget(regLine, 6, 0, 1, 3);
    QComboBox *reg = makePopup(QStringLiteral("popupbuttonPgReg"), QStringLiteral("Register to read"), 10);
    QLabel *value = makeReadout(QStringLiteral("labelPgReg"), QStringLiteral("Register value"), 11);
    value->setText(kDash);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *regCaption = caption(QStringLiteral("Register"), reg);
    g->addWidget(regCaption, 7, 0, 1, 3);
    g->addWidget(reg, 8, 1);
    g->addWidget(value, 8, 2);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(2, 1);
    return box;
}

QGroupBox *MainWindow::buildJog()
{
    auto *box = new QGroupBox(QStringLiteral("Jog"));
    auto *v = new QVBoxLayout(box);
    v->setSpacing(8);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    QComboBox *pulse = makePopup(QStringLiteral("popupbuttonPgPulse"), QStringLiteral("Pulses per jog"), 6);
    QComboBox *accel = makePopup(QStringLiteral("popupbuttonPgAceel"), QStringLiteral("Jog acceleration"), 6);
    form->addRow(caption(QStringLiteral("Pulses"), pulse), pulse);
    form->addRow(caption(QStringLiteral("Acceleration"), accel), accel);
    v->addLayout(form);

    auto *pad = new QGridLayout;
    pad->setHorizontalSpacing(4);
    pad->setVerticalSpacing(4);
    const int bw =
        buttonWidth({QStringLiteral("X stop"), QStringLiteral("X ") + kMinus, QStringLiteral("X +")});
    for (int r = 0; r < 4; ++r) {
        const QString axis(kAxes.at(r));
        const int base = 3 * r;
        const QString moves = QStringLiteral("Move %1 by the pulses in the %2 direction");
        QPushButton *minus =
            makeTagButton(QStringLiteral("buttonPgJog"), base, axis + QLatin1Char(' ') + kMinus,
                          moves.arg(axis, QStringLiteral("minus")));
        QPushButton *stop =
            makeTagButton(QStringLiteral("buttonPgJog"), base + 1, axis + QStringLiteral(" stop"),
                          QStringLiteral("Stop %1").arg(axis));
        QPushButton *plus =
            makeTagButton(QStringLiteral("buttonPgJog"), base + 2, axis + QStringLiteral(" +"),
                          moves.arg(axis, QStringLiteral("plus")));
        int c = 0;
        for (QPushButton *b : {minus, stop, plus}) {
            b->setMinimumWidth(bw);
            pad->addWidget(b, r, c++);
        }
    }
    v->addLayout(pad);
    return box;
}

QGroupBox *MainWindow::buildHOutputs()
{
    auto *box = new QGroupBox(QStringLiteral("H outputs"));
    auto *g = new QGridLayout(box);
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(4);
    const int bw = buttonWidth({QStringLiteral("H0 OFF")});
    for (int n = 0; n < 4; ++n) {
        const QString hn = QStringLiteral("H%1").arg(n);
        QPushButton *on = makeTagButton(QStringLiteral("buttonPgHout"), 2 * n, hn + QStringLiteral(" ON"),
                                        QStringLiteral("H_ON %1").arg(n));
        QPushButton *off = makeTagButton(QStringLiteral("buttonPgHout"), 2 * n + 1,
                                         hn + QStringLiteral(" OFF"), QStringLiteral("H_OFF %1").arg(n));
        on->setMinimumWidth(bw);
        off->setMinimumWidth(bw);
        g->addWidget(on, n, 0);
        g->addWidget(off, n, 1);
    }
    return box;
}

// The point table and the two edit groups share one column grid (point
// number, then X, Y, U, Z) so that their fields line up.
namespace {
constexpr int kPointChars = 6;
constexpr int kCoordChars = 10;
} // namespace

QGroupBox *MainWindow::buildPointTable()
{
    auto *box = new QGroupBox(QStringLiteral("Stored points"));
    auto *v = new QVBoxLayout(box);
    v->setSpacing(6);
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    QLineEdit *first = makeField(QStringLiteral("textfieldPgAdrSelect"), QString(), kPointChars);
    first->setFixedWidth(charWidth(kPointChars));
    first->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(caption(QStringLiteral("First point"), first));
    row->addWidget(first);
    row->addWidget(makeStepper(QStringLiteral("stepperPgAdrSelect"), QStringLiteral("Step the first point")));
    row->addStretch(1);
    auto *dec = named(new QRadioButton(QStringLiteral("Decimal")), QStringLiteral("radiobuttonPgTypeDec"));
    auto *hex = named(new QRadioButton(QStringLiteral("Hex")), QStringLiteral("radiobuttonPgTypeHex"));
    dec->setChecked(true);
    auto *grp = new QButtonGroup(box);
    grp->addButton(dec);
    grp->addButton(hex);
    row->addWidget(dec);
    row->addWidget(hex);
    v->addLayout(row);

    auto *g = new QGridLayout;
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(4);
    pointHeader(g, 0);
    for (int r = 0; r < 4; ++r) {
        const QString n = QString::number(r);
        QLineEdit *adr = makeDisplay(QStringLiteral("textfieldPgAdr") + n,
                                     QStringLiteral("Point row %1 number").arg(n), kPointChars);
        adr->setFixedWidth(charWidth(kPointChars));
        g->addWidget(adr, r + 1, 0);
        for (int a = 0; a < 4; ++a) {
            const QChar axis = kAxes.at(a);
            QLineEdit *d = makeDisplay(QStringLiteral("textfieldPgData") + axis + n,
                                       QStringLiteral("Point row %1 %2").arg(n).arg(axis), kCoordChars);
            d->setFixedWidth(charWidth(kCoordChars));
            g->addWidget(d, r + 1, a + 1);
        }
    }
    g->setColumnStretch(5, 1);
    v->addLayout(g);

    // Writing one point of the list.
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    v->addWidget(line);
    auto *e = new QGridLayout;
    e->setHorizontalSpacing(4);
    e->setVerticalSpacing(4);
    pointHeader(e, 0);
    QLineEdit *adr =
        makeField(QStringLiteral("textfieldPgModAdr"), QStringLiteral("Point to write"), kPointChars);
    adr->setFixedWidth(charWidth(kPointChars));
    adr->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    e->addWidget(adr, 1, 0);
    for (int a = 0; a < 4; ++a) {
        const QChar axis = kAxes.at(a);
        QLineEdit *d = makeField(QStringLiteral("textfieldPgModData") + axis,
                                 QStringLiteral("Point to write, %1").arg(axis), kCoordChars);
        d->setFixedWidth(charWidth(kCoordChars));
        d->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->addWidget(d, 1, a + 1);
    }
    e->setColumnStretch(5, 1);
    v->addLayout(e);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(hint(QStringLiteral("Numbers in decimal or &H hexadecimal.")), 1);
    buttons->addWidget(makeButton(QStringLiteral("buttonPgPlistSetp"), QStringLiteral("Set point"),
                                  QStringLiteral("Write this point to the controller (asks first)")));
    v->addLayout(buttons);
    return box;
}

void MainWindow::pointHeader(QGridLayout *g, int row)
{
    g->addWidget(header(QStringLiteral("Point")), row, 0);
    for (int a = 0; a < 4; ++a) {
        QLabel *h = header(QString(kAxes.at(a)));
        h->setAlignment(Qt::AlignCenter);
        g->addWidget(h, row, a + 1);
    }
}

QGroupBox *MainWindow::buildPointEditing()
{
    auto *box = new QGroupBox(QStringLiteral("Teach and set position"));
    auto *v = new QVBoxLayout(box);
    v->setSpacing(6);
    const QString jog = QStringLiteral("buttonPgJog");

    auto *teach = new QHBoxLayout;
    teach->setSpacing(6);
    QLineEdit *num =
        makeField(QStringLiteral("textfieldPgTeachNum"), QStringLiteral("Point to teach"), kPointChars);
    num->setFixedWidth(charWidth(kPointChars));
    num->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    teach->addWidget(caption(QStringLiteral("Teach point"), num));
    teach->addWidget(num);
    teach->addWidget(makeTagButton(jog, 12, QStringLiteral("Teach"),
                                   QStringLiteral("Store the current position as this point (asks first)")));
    teach->addStretch(1);
    v->addLayout(teach);

    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    v->addWidget(line);

    auto *g = new QGridLayout;
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(4);
    pointHeader(g, 0);
    QLineEdit *p = makeField(QStringLiteral("textfieldPgPosSetPnum"), QStringLiteral("Set position, point"),
                             kPointChars);
    p->setFixedWidth(charWidth(kPointChars));
    p->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    g->addWidget(p, 1, 0);
    for (int a = 0; a < 4; ++a) {
        const QChar axis = kAxes.at(a);
        QLineEdit *d = makeField(QStringLiteral("textfieldPgPosSet") + axis,
                                 QStringLiteral("Set position, %1").arg(axis), kCoordChars);
        d->setFixedWidth(charWidth(kCoordChars));
        d->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        g->addWidget(d, 1, a + 1);
    }
    g->setColumnStretch(5, 1);
    v->addLayout(g);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(makeTagButton(jog, 13, QStringLiteral("Copy pos"),
                                     QStringLiteral("Copy the current positions into the row (point 0)")));
    buttons->addWidget(makeTagButton(jog, 15, QStringLiteral("Copy counters"),
                                     QStringLiteral("Copy the counters into the row (point -1)")));
    buttons->addStretch(1);
    buttons->addWidget(makeTagButton(jog, 16, QStringLiteral("Set"),
                                     QStringLiteral("Write the row to the controller (asks first)")));
    v->addLayout(buttons);
    return box;
}

QWidget *MainWindow::buildAxisPage()
{
    auto *page = new QWidget;
    auto *h = new QHBoxLayout(page);
    h->setSpacing(10);

    auto *left = new QVBoxLayout;
    left->setSpacing(8);
    auto *board = new QHBoxLayout;
    board->setSpacing(6);
    QComboBox *select =
        makePopup(QStringLiteral("popupbuttonPgSelect"), QStringLiteral("Pulse generator board"), 5);
    board->addWidget(caption(QStringLiteral("Board"), select));
    board->addWidget(select);
    board->addStretch(1);
    left->addLayout(board);
    left->addWidget(buildAxisSignals());
    left->addWidget(buildAxisPositions());
    left->addStretch(1);
    // The lamp grid and the readouts have their natural width; what is left
    // over goes to the jog pad, whose buttons are the ones hit in a hurry.
    h->addLayout(left);

    auto *middle = new QVBoxLayout;
    middle->setSpacing(8);
    middle->addWidget(buildJog());
    middle->addWidget(buildHOutputs());
    middle->addStretch(1);
    h->addLayout(middle, 1);

    auto *right = new QVBoxLayout;
    right->setSpacing(8);
    right->addWidget(buildPointTable());
    right->addWidget(buildPointEditing());
    right->addStretch(1);
    h->addLayout(right);
    return page;
}

// ---------------------------------------------------------------- tasks

QWidget *MainWindow::buildTasksPage()
{
    auto *page = new QWidget;
    auto *h = new QHBoxLayout(page);
    h->setSpacing(10);

    auto *tasks = new QGroupBox(QStringLiteral("Tasks"));
    auto *g = new QGridLayout(tasks);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);
    QLineEdit *first = makeField(QStringLiteral("textfieldTaskNoSelect"), QString(), 5);
    first->setFixedWidth(charWidth(5));
    first->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(caption(QStringLiteral("First task"), first));
    row->addWidget(first);
    row->addWidget(makeStepper(QStringLiteral("stepperTaskNoSelect"), QStringLiteral("Step the first task")));
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
    } cols[] = {{"textfieldTaskNo", "number", 5},
                {"textfieldTaskStep", "step", 10},
                {"textfieldTaskStatus", "status", 6}};
    for (int i = 0; i < 8; ++i) {
        const QString n = QString::number(i);
        for (int c = 0; c < 3; ++c) {
            QLineEdit *e = makeDisplay(QLatin1String(cols[c].name) + n,
                                       QStringLiteral("Task row %1 %2").arg(n, QLatin1String(cols[c].what)),
                                       cols[c].chars);
            e->setFixedWidth(charWidth(cols[c].chars));
            g->addWidget(e, i + 2, c);
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
    clearRow->addWidget(makeButton(QStringLiteral("buttonTaskMbkAreaClear"),
                                   QStringLiteral("Clear task area"),
                                   QStringLiteral("Fill the task area of the memory blocks with 0")));
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
    return page;
}
