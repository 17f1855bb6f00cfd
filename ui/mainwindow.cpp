// Builds the monitor window: the connection bar, the seven tab pages and the
// menus. Layout only; the ViewController wires the controls by their names.
#include "ui/mainwindow.h"

#include "axis/axispage.h"
#include "console/consolepage.h"
#include "health/install.h"
#include "journal/install.h"
#include "link/link.h"
#include "monitor/cupage.h"
#include "monitor/iopage.h"
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
        {new monitor::IoPage(*m_link), "I/O"},
        {m_variablesPage = new panels::VariablesPage(*m_link), "Variables"},
        {m_mbkPage = new panels::MbkPage(*m_link), "MBK"},
        {new monitor::CuPage(*m_link), "CU"},
        {m_axisPage = new axis::AxisPage(*m_link, *m_dialogs), "Axis"},
        {m_tasksPage = new panels::TasksPage(*m_link), "Tasks"},
    };
    for (int i = 0; i < monitor::kTabCount; ++i) {
        pages[i].page->setProperty("identifier", monitor::tabIdentifier(static_cast<monitor::Tab>(i)));
        tabs->addTab(pages[i].page, QString::fromLatin1(pages[i].label));
    }
    v->addWidget(tabs, 1);
    setCentralWidget(central);

    health::install(*this);
    journal::install(*this);
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

    // Filled by the views that can be shown beside the pages.
    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_viewMenu->setObjectName(QStringLiteral("menuView"));

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
