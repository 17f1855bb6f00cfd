// Builds the monitor window: the connection bar, the seven tab pages and the
// menus. Layout only; the ViewController wires the controls by their names.
#include "ui/mainwindow.h"

#include "console/consolepage.h"
#include "link/link.h"
#include "monitor/tabs.h"
#include "tools/debugtools.h"
#include "transfer/transfers.h"
#include "panels/mbkpage.h"
#include "panels/taskspage.h"
#include "panels/variablespage.h"
#include "ui/controls.h"
#include "ui/uihelpers.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
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
    : QMainWindow(parent), m_dialogs(dialogs), m_clock(clock), m_link(new link::Link(dialogs, this)),
      m_transfers(new transfer::Transfers(*m_link, *dialogs, this)),
      m_debugTools(new tools::DebugTools(*m_link, *clock, this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("QuorinMonitor"));

    buildMenus();

    auto *central = new QWidget;
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(8, 6, 8, 8);
    v->setSpacing(6);
    v->addWidget(buildTopBar());

    m_consolePage = new console::ConsolePage(*m_link, *m_dialogs);
    auto *tabs = named(new QTabWidget, QStringLiteral("tabview"));
    tabs->setAccessibleName(QStringLiteral("Pages"));
    const struct
    {
        QWidget *page;
        const char *label;
    } pages[monitor::kTabCount] = {
        {m_consolePage, "Console"},
        {buildIoPage(), "I/O"},
        {m_variablesPage = new panels::VariablesPage(*m_link), "Variables"},
        {m_mbkPage = new panels::MbkPage(*m_link), "MBK"},
        {buildCuPage(), "CU"},
        {buildAxisPage(), "Axis"},
        {m_tasksPage = new panels::TasksPage(*m_link), "Tasks"},
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

QWidget *MainWindow::buildIoPage()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    v->setSpacing(10);
    BitGroup out;
    out.title = QStringLiteral("Outputs");
    out.prefix = QStringLiteral("labelOut");
    out.what = QStringLiteral("Output");
    out.popup = QStringLiteral("popupbuttonOutBank");
    out.stat = QStringLiteral("labelOutStat");
    out.action = QStringLiteral("buttonOutOnOff");
    out.onBase = 0;
    out.offBase = 8;
    out.clearTag = 40;
    out.clearCaption = QStringLiteral("Clear all outputs");
    v->addWidget(buildBitGroup(out));

    BitGroup inp;
    inp.title = QStringLiteral("Inputs");
    inp.prefix = QStringLiteral("labelInp");
    inp.what = QStringLiteral("Input");
    inp.popup = QStringLiteral("popupbuttonInpBank");
    inp.stat = QStringLiteral("labelInpStat");
    v->addWidget(buildBitGroup(inp));

    BitGroup rel;
    rel.title = QStringLiteral("Internal relays");
    rel.prefix = QStringLiteral("labelMemio");
    rel.what = QStringLiteral("Relay");
    rel.popup = QStringLiteral("popupbuttonMemioBank");
    rel.stat = QStringLiteral("labelMemioStat");
    rel.action = QStringLiteral("buttonOutOnOff");
    rel.onBase = 20;
    rel.offBase = 28;
    rel.clearTag = 41;
    rel.clearCaption = QStringLiteral("Clear all relays");
    v->addWidget(buildBitGroup(rel));
    v->addStretch(1);
    return page;
}

QWidget *MainWindow::buildCuPage()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    v->setSpacing(10);
    BitGroup out;
    out.title = QStringLiteral("CU outputs");
    out.prefix = QStringLiteral("labelCuOut");
    out.what = QStringLiteral("CU output");
    out.popup = QStringLiteral("popupbuttonCuOutBank");
    out.stat = QStringLiteral("labelCuOutStat");
    out.action = QStringLiteral("buttonCuOnOff");
    out.onBase = 0;
    out.offBase = 8;
    out.clearTag = 40;
    out.clearCaption = QStringLiteral("Clear all CU outputs");
    v->addWidget(buildBitGroup(out));

    BitGroup inp;
    inp.title = QStringLiteral("CU inputs");
    inp.prefix = QStringLiteral("labelCuInp");
    inp.what = QStringLiteral("CU input");
    inp.popup = QStringLiteral("popupbuttonCuInpBank");
    inp.stat = QStringLiteral("labelCuInpStat");
    v->addWidget(buildBitGroup(inp));
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
