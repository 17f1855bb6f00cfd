// Builds the monitor window: the connection bar, the seven tab pages and the
// menus. Layout only; the ViewController wires the controls by their names.
#include "ui/mainwindow.h"

#include "axis/axispage.h"
#include "console/consolepage.h"
#include "link/link.h"
#include "monitor/tabs.h"
#include "panels/mbkpage.h"
#include "panels/taskspage.h"
#include "panels/variablespage.h"
#include "tools/debugtools.h"
#include "transfer/transfers.h"
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

const QString kDash = QStringLiteral("\u2014");

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
        {m_axisPage = new axis::AxisPage(*m_link, *m_dialogs), "Axis"},
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
