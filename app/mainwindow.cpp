// The window: places the connection bar, builds the pages and the menus, and
// wires the link, the poller, the transfers and the debugging tools to them.
#include "app/mainwindow.h"

#include "app/controllersettings.h"
#include "axis/axispage.h"
#include "console/consolepage.h"
#include "console/sidepanel.h"
#include "core/dialogs.h"
#include "core/watchlock.h"
#include "health/install.h"
#include "journal/install.h"
#include "link/link.h"
#include "link/textutil.h"
#include "monitor/cupage.h"
#include "monitor/iopage.h"
#include "monitor/poller.h"
#include "panels/mbkpage.h"
#include "panels/taskspage.h"
#include "panels/variablespage.h"
#include "tools/debugtools.h"
#include "transfer/backupmenu.h"
#include "transfer/backups.h"
#include "transfer/comparisons.h"
#include "transfer/transfers.h"
#include "trend/install.h"
#include "trend/trenddock.h"
#include "ui/controls.h"
#include "ui/lockedcontrols.h"
#include "ui/pagetabs.h"
#include "ui/uihelpers.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

using namespace ui;

namespace {
const QString kConnected = QStringLiteral("*** Connected to the QUORIN. ***\r");
const QString kConnectTimeout = QStringLiteral("*** Connection Timeout. ***\r");
const QString kDisconnected = QStringLiteral("\r*** Disconnected. ***\r");
const QString kPeerClosed = QStringLiteral("The controller closed the connection.");
} // namespace

MainWindow::MainWindow(Dialogs *dialogs, Clock *clock, QSettings *settings, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_clock(clock), m_settings(settings),
      m_watchLock(new WatchLock(this)), m_locked(new ui::LockedControls(*m_watchLock, this)),
      m_link(new wire::Link(dialogs, this)), m_poller(new monitor::Poller(*m_link, *clock, this)),
      m_transfers(new transfer::Transfers(*m_link, *dialogs, this)),
      m_backups(new transfer::Backups(*m_link, *m_transfers, this)),
      m_debugTools(new tools::DebugTools(*m_link, *clock, this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(kProgramTitle);

    buildMenus();
    auto *central = new QWidget;
    auto *v = new QVBoxLayout(central);
    v->setContentsMargins(8, 6, 8, 8);
    v->setSpacing(6);
    v->addWidget(m_bar.bar);
    buildPages();
    v->addWidget(m_tabview, 1);
    setCentralWidget(central);
    // Until a layout is stored: roomy, but on the screen with its frame and
    // title bar, however small the screen.
    QSize first = sizeHint().expandedTo(QSize(1200, 760)).boundedTo(QSize(1280, 800));
    if (const QScreen *shown = screen()) {
        const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        first = first.boundedTo(shown->availableGeometry().size() -
                                QSize(frame, frame + style()->pixelMetric(QStyle::PM_TitleBarHeight)));
    }
    resize(first);

    restoreState();
    wireLink();
    wireMonitor();
    wireConsole();
    wireMenus();
    m_trend = trend::install(
        *this, *m_viewMenu, *m_tabview, *m_link, *m_dialogs, *m_clock, *m_poller, *m_pages, [this] {
            // No board is read before the Axis page has been built.
            auto *axis = static_cast<axis::AxisPage *>(m_pages->builtPage(int(monitor::Tab::Axis)));
            return axis ? axis->acceptedBoard() : std::nullopt;
        });
    installComparisons();
    health::install(*statusBar(), *this, *m_link, *m_poller, *m_clock);
    statusBar()->addPermanentWidget(m_bar.watchOnlySign);
    m_labelControllerName = named(new QLabel, QStringLiteral("labelControllerName"));
    m_labelControllerName->setToolTip(QStringLiteral("The address book's name of this controller"));
    m_labelControllerName->setVisible(false);
    statusBar()->addPermanentWidget(ruledOff(m_labelControllerName));
    journal::install(*this, *m_viewMenu, *m_dialogs, m_settings,
                     {*m_link, *m_clock, *m_poller, *m_transfers, *m_backups, *m_watchLock,
                      [this] { return currentTabTitle(); }, [this] { return m_controllerName; }});
    connect(m_watchLock, &WatchLock::changed, this, [this](bool locked) { m_bar.showWatchLock(locked); });
    m_bar.showWatchLock(m_watchLock->locked());

    // Last in the File menu, after what the parts above put there.
    m_fileMenu->addSeparator();
    auto *quit = new QAction(QStringLiteral("Quit"), this);
    quit->setObjectName(QStringLiteral("menuQuit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    quit->setStatusTip(QStringLiteral("Close every window, disconnecting each first"));
    connect(quit, &QAction::triggered, this, &MainWindow::quitRequested);
    m_fileMenu->addAction(quit);
}

MainWindow::~MainWindow()
{
    // The pages and the link go after this part of the window; nothing they
    // signal on the way out may reach it.
    for (QObject *sender : std::initializer_list<QObject *>{m_tabview, m_link, m_poller, qApp})
        QObject::disconnect(sender, nullptr, this, nullptr);
    // Every suspended wait returns now, while the pages it belongs to are
    // still there.
    m_link->abandon();
}

// ---------------------------------------------------------------- building

void MainWindow::buildMenus()
{
    QMenu *file = m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    // Another window, for another controller; the program's windows are
    // kept together by whoever made this one (see WindowSet).
    auto *newWindow = new QAction(QStringLiteral("New Window"), this);
    newWindow->setObjectName(QStringLiteral("menuNewWindow"));
    newWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    newWindow->setStatusTip(QStringLiteral("Open another window, to watch another controller"));
    connect(newWindow, &QAction::triggered, this, &MainWindow::newWindowRequested);
    file->addAction(newWindow);
    file->addSeparator();
    m_openFileAction = new QAction(QStringLiteral("Open Program\u2026"), this);
    m_openFileAction->setObjectName(QStringLiteral("menuOpenFile"));
    m_openFileAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_openFileAction->setAutoRepeat(false); // a held Control+O opens one dialog
    m_openFileAction->setStatusTip(QStringLiteral("Load a program file into the controller"));
    file->addAction(m_openFileAction);
    m_simulatorAction = new QAction(QStringLiteral("Connect to Built-in Simulator"), this);
    m_simulatorAction->setObjectName(QStringLiteral("menuSimulator"));
    m_simulatorAction->setStatusTip(QStringLiteral("Try every tab on a simulated controller"));
    file->addAction(m_simulatorAction);
    m_controllersAction = new QAction(QStringLiteral("Controllers\u2026"), this);
    m_controllersAction->setObjectName(QStringLiteral("menuControllers"));
    m_controllersAction->setStatusTip(QStringLiteral("Name the controllers you connect to"));
    file->addAction(m_controllersAction);

    // Filled by the views that can be shown beside the pages.
    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_viewMenu->setObjectName(QStringLiteral("menuView"));

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    m_aboutAction = new QAction(QStringLiteral("About QuorinMonitor"), this);
    m_aboutAction->setObjectName(QStringLiteral("menuAbout"));
    m_aboutAction->setMenuRole(QAction::AboutRole);
    help->addAction(m_aboutAction);
}

void MainWindow::buildPages()
{
    m_tabview = named(new QTabWidget, QStringLiteral("tabview"));
    m_tabview->setAccessibleName(QStringLiteral("Pages"));
    m_pages = new ui::PageTabs(*m_tabview, this);
    using Kind = ui::PageTabs::Kind;
    using monitor::Tab;
    const auto add = [this](Tab tab, const char *title, Kind kind, ui::PageTabs::Make make) {
        m_pages->add(QString::fromLatin1(title), monitor::tabIdentifier(tab), kind, std::move(make));
    };
    // The window opens on the console: it is built at once.
    m_consolePage = new console::ConsolePage(*m_link, *m_dialogs, *m_watchLock);
    m_pages->add(QStringLiteral("Console"), monitor::tabIdentifier(Tab::Console), Kind::Console,
                 m_consolePage);
    add(Tab::Io, "I/O", Kind::Monitor, [this] { return new monitor::IoPage(*m_link, *m_watchLock); });
    add(Tab::Variables, "Variables", Kind::Monitor, [this] {
        auto *page = new panels::VariablesPage(*m_link, *m_watchLock);
        page->setVariableNames(m_storedVariableNames);
        return page;
    });
    add(Tab::Mbk, "MBK", Kind::Monitor, [this] { return new panels::MbkPage(*m_link, *m_watchLock); });
    add(Tab::Cu, "CU", Kind::Monitor, [this] { return new monitor::CuPage(*m_link, *m_watchLock); });
    add(Tab::Axis, "Axis", Kind::Monitor,
        [this] { return new axis::AxisPage(*m_link, *m_dialogs, *m_watchLock); });
    add(Tab::Tasks, "Tasks", Kind::Monitor, [this] { return new panels::TasksPage(*m_link, *m_watchLock); });
}

template <class P> P &MainWindow::pageOf(monitor::Tab tab)
{
    return *static_cast<P *>(m_pages->page(static_cast<int>(tab)));
}

monitor::IoPage &MainWindow::ioPage()
{
    return pageOf<monitor::IoPage>(monitor::Tab::Io);
}

panels::VariablesPage &MainWindow::variablesPage()
{
    return pageOf<panels::VariablesPage>(monitor::Tab::Variables);
}

panels::MbkPage &MainWindow::mbkPage()
{
    return pageOf<panels::MbkPage>(monitor::Tab::Mbk);
}

monitor::CuPage &MainWindow::cuPage()
{
    return pageOf<monitor::CuPage>(monitor::Tab::Cu);
}

axis::AxisPage &MainWindow::axisPage()
{
    return pageOf<axis::AxisPage>(monitor::Tab::Axis);
}

panels::TasksPage &MainWindow::tasksPage()
{
    return pageOf<panels::TasksPage>(monitor::Tab::Tasks);
}

// ---------------------------------------------------------------- start and end

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing a window (the program ends with the last): disconnect, then
    // save the settings (once, however often the close is asked for). The goodbye
    // takes its closing pause with the window still answering; the window
    // closes when the link is down.
    if (m_link->state() != wire::State::Disconnected) {
        event->ignore();
        if (!m_closeRequested) {
            m_closeRequested = true;
            closeWhenDown();
        }
        return;
    }
    if (!m_terminated) {
        m_terminated = true;
        saveSettings();
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void MainWindow::closeLeavingSettings()
{
    m_terminated = true;
    close();
}

QCoro::Task<> MainWindow::closeWhenDown()
{
    QPointer<MainWindow> self(this);
    co_await m_link->close();
    if (!self)
        co_return;
    // A Disconnect already saying goodbye: the window closes when it is done.
    if (m_link->state() == wire::State::Closing) {
        connect(m_link, &wire::Link::stateChanged, this, [this](wire::State state) {
            if (state == wire::State::Disconnected)
                close();
        });
        co_return;
    }
    close();
}

void MainWindow::setAddress(const QString &address)
{
    m_bar.address->setText(address);
}

void MainWindow::showStandInAddress(const QString &address)
{
    if (m_bar.address->text() != m_standInAddress || m_standInAddress.isEmpty())
        m_replacedAddress = m_bar.address->text();
    m_standInAddress = address;
    m_bar.address->setText(address);
}

void MainWindow::setConnectedControlsEnabled(bool connected)
{
    for (QWidget *w : {m_bar.disconnect, m_bar.startPolling, m_bar.stopPolling})
        w->setEnabled(connected);
    m_consolePage->setConnected(connected);
    m_locked->setEnabled(m_openFileAction, connected);
    m_bar.address->setReadOnly(connected);
    m_bar.timeout->setReadOnly(connected);
    setTextColor(m_bar.address, connected ? kLightGray : kBlack);
    setTextColor(m_bar.timeout, connected ? kLightGray : kBlack);
    updateBkpControls();
}

void MainWindow::showAbout()
{
    m_dialogs->alert(QStringLiteral("QUORIN Monitor for MAC"), QStringLiteral("Ver 1.220912"));
}

void MainWindow::installComparisons()
{
    transfer::installCompare(this, *m_link, *m_transfers, *m_dialogs, *m_watchLock,
                             m_consolePage->sidePanel(), m_fileMenu);
    transfer::installBackups(this, m_fileMenu, *m_link, *m_backups, *m_dialogs, *m_watchLock, [this] {
        return m_controllerName.isEmpty() ? m_link->address() : m_controllerName;
    });
}

void MainWindow::onWatchOnlyClicked(bool checked)
{
    // Locking takes a click; unlocking a reason, for the operator journal.
    // Nothing is sent, so neither waits for the exchange slot.
    if (checked) {
        m_watchLock->lock();
    } else {
        const QString reason = m_dialogs->askText(
            QStringLiteral("Unlock Controls"),
            QStringLiteral("Why are the controls unlocked? The reason goes into the operator journal."));
        m_watchLock->unlock(reason);
    }
    // An empty reason or Cancel leaves the lock on, and the button with it.
    m_bar.showWatchLock(m_watchLock->locked());
}

void MainWindow::updateBkpControls()
{
    m_consolePage->setBreakpointMode(m_link->bkpMode());
}

// ---------------------------------------------------------------- the link

void MainWindow::onConnectClicked()
{
    // A disconnect is never deferred (a pending wait gives up at its next
    // turn); a connect waits for the exchange slot like any other action, so
    // that it never runs inside a pending wait.
    if (wire::isUp(m_link->state()) || m_link->state() == wire::State::Connecting) {
        disconnectController();
    } else if (!m_connectQueued) {
        m_connectQueued = true;
        m_link->enqueue([this]() -> QCoro::Task<> {
            m_connectQueued = false;
            co_await connectController();
        });
    }
    m_consolePage->focusConsole();
}

QCoro::Task<bool> MainWindow::connectController()
{
    // A window asked to close connects no more: not with a Connect clicked
    // during its goodbye, nor with one that waited behind an action the
    // window outlived (a backup written aside).
    if (m_closeRequested || m_terminated)
        co_return false;
    m_tabview->setCurrentIndex(0);
    m_currentTab = monitor::Tab::Console;
    m_consolePage->consoleReplace(QString());
    if (m_peerClosedShown)
        m_bar.status->clear();
    m_bar.connect->setChecked(false);
    // A name from the address book stands for its address; anything else goes
    // to the link as typed, which says what is wrong with it.
    const app::AddressBook book = addressBook();
    const app::ConnectTarget target = app::resolveConnectTarget(book, m_bar.address->text());
    m_controllerName = target.name;
    if (target.watchOnly)
        m_watchLock->lock();
    // Named, not a temporary inside the co_await: GCC 12 destroys such a
    // temporary twice.
    const QString address = target.error.isEmpty() ? target.address : m_bar.address->text();
    // The time-out kept for this controller goes with the login already,
    // unless the user has typed one for this connection. The built-in
    // simulator is one controller, on whichever port it listens.
    const bool builtIn = !m_standInAddress.isEmpty() && address == m_standInAddress;
    m_controllerKey =
        app::controllerKey(builtIn ? QStringLiteral("built-in simulator") : target.name, address);
    m_kept.reset();
    if (m_settings) {
        m_kept = app::ControllerSettings::load(*m_settings, m_controllerKey);
        // Runs before this one kept an address as it was typed ("...:23").
        if (!m_kept->found && !builtIn && target.name.isEmpty())
            m_kept = app::ControllerSettings::load(*m_settings, address.trimmed().toLower());
        if (!m_kept->timeoutSeconds.isEmpty() && !m_timeoutTyped)
            m_bar.timeout->setText(m_kept->timeoutSeconds);
    }
    m_connectAfterGoodbye = m_link->state() == wire::State::Closing;
    const bool opened = co_await m_link->open(address);
    m_connectAfterGoodbye = false;
    if (!opened && m_link->state() == wire::State::Disconnected)
        m_consolePage->consoleReplace(kConnectTimeout);
    co_return opened;
}

void MainWindow::disconnectController()
{
    // Never queued: the running exchange ends at once.
    m_link->close();
}

// "0" (or less), typed or passed on the way from "30" to "10", would give up
// on any reply not already in: every wait gets at least a second.
qint64 MainWindow::receiveTimeoutSeconds() const
{
    return std::max<qint64>(1, text::intOr(m_bar.timeout->text(), 30));
}

void MainWindow::onStateChanged(wire::State state, wire::Reason reason)
{
    switch (state) {
    case wire::State::LoggingIn:
        showControllerName();
        m_consolePage->consoleReplace(kConnected);
        setConnectedControlsEnabled(true);
        m_bar.connect->setText(QStringLiteral("Disconnect"));
        break;
    case wire::State::Ready:
        restoreControllerSettings();
        break;
    case wire::State::Connecting:
        break;
    case wire::State::Closing:
        // Controls go off and polling stops before the goodbye.
        setConnectedControlsEnabled(false);
        m_bar.connect->setText(QStringLiteral("Connect"));
        m_poller->timerStop();
        // A refused login never got to the controller: nothing is kept for it.
        if (reason != wire::Reason::LoginRefused)
            keepControllerSettings();
        break;
    case wire::State::Disconnected:
        if (reason != wire::Reason::ConnectFailed && reason != wire::Reason::LoginRefused)
            keepControllerSettings();
        if (!std::exchange(m_connectAfterGoodbye, false)) {
            m_controllerKey.clear();
            m_kept.reset();
            m_controllerName.clear();
        }
        showControllerName();
        if (reason == wire::Reason::ConnectFailed)
            break;
        setConnectedControlsEnabled(false);
        m_poller->timerStop();
        m_bar.connect->setText(QStringLiteral("Connect"));
        // Only the user's Disconnect is noted in the console; a time-out has
        // its alert, the controller closing its status line.
        if (reason == wire::Reason::User)
            m_consolePage->consoleAppendScroll(kDisconnected);
        if (reason == wire::Reason::PeerClosed) {
            m_bar.status->setText(kPeerClosed);
            m_peerClosedShown = true;
        }
        break;
    }
}

void MainWindow::onReceived(const QString &text, const QString &last)
{
    if (m_currentTab == monitor::Tab::Console && wire::isUp(m_link->state()))
        m_consolePage->receiveDisplay(text);
    if (m_currentTab == monitor::Tab::Variables)
        variablesPage().showLastReply(last);
    updateBkpControls();
}

void MainWindow::wireLink()
{
    const auto takeTimeout = [this] {
        wire::Link::Timing timing = m_link->timing();
        timing.receive = std::chrono::seconds(receiveTimeoutSeconds());
        m_link->setTiming(timing);
    };
    takeTimeout();
    connect(m_bar.timeout, &QLineEdit::textChanged, this, takeTimeout);
    connect(m_bar.timeout, &QLineEdit::textEdited, this, [this] { m_timeoutTyped = true; });
    connect(m_link, &wire::Link::stateChanged, this, &MainWindow::onStateChanged);
    connect(m_link, &wire::Link::received, this, &MainWindow::onReceived);
    connect(m_link, &wire::Link::waitProgress, this,
            [this](qint64 seconds) { m_bar.showWaitSeconds(seconds); });
    // An answer may have ended the breakpoint mode (a load's attention byte
    // stops every task): the step controls follow it, not only the console.
    connect(m_link, &wire::Link::replied, this, [this] {
        if (m_currentTab == monitor::Tab::Console)
            m_bar.activity->setVisible(false);
        updateBkpControls();
    });
    // Whatever else the status line shows next replaces the notice.
    connect(m_bar.status, &QLineEdit::textChanged, this, [this] { m_peerClosedShown = false; });

    connect(m_bar.connect, &QPushButton::clicked, this, &MainWindow::onConnectClicked);
    connect(m_bar.disconnect, &QPushButton::clicked, this, &MainWindow::disconnectController);
    connect(m_bar.windowClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_bar.watchOnly, &QPushButton::clicked, this, &MainWindow::onWatchOnlyClicked);
}

// ---------------------------------------------------------------- polling and pages

void MainWindow::onTabChanged(int index)
{
    if (!wire::isUp(m_link->state())) {
        // Without a controller only the console makes sense; the change of
        // tab made here is not a second selection.
        const QSignalBlocker block(m_tabview);
        m_tabview->setCurrentIndex(0);
        index = 0;
        m_currentTab = monitor::Tab::Console;
    }
    if (index < 0 || index >= m_pages->count())
        return;
    ui::Page *page = m_pages->page(index);
    wire::trace(QStringLiteral("tabview label: ") + m_tabview->tabText(index));
    m_currentTab = static_cast<monitor::Tab>(index);
    m_poller->setPage(page);
    wire::trace(QStringLiteral("tabview identifier: ") + monitor::tabIdentifier(m_currentTab));
    if (ui::Page *axis = m_pages->builtPage(int(monitor::Tab::Axis)))
        static_cast<axis::AxisPage *>(axis)->reselectBoard();
    // Starting and stopping talk to the controller, so they wait for the
    // exchange slot; by then the user may have moved on to another tab.
    if (m_currentTab != monitor::Tab::Console) {
        if (!m_poller->isRunning()) {
            m_link->enqueue([this]() -> QCoro::Task<> {
                if (!m_poller->isRunning() && m_currentTab != monitor::Tab::Console)
                    co_await m_poller->timerStart();
            });
        }
    } else {
        m_link->enqueue([this]() -> QCoro::Task<> {
            if (m_currentTab == monitor::Tab::Console)
                m_poller->timerStop();
            co_return;
        });
    }
    emit currentTabChanged(m_currentTab);
}

QString MainWindow::currentTabTitle() const
{
    return m_tabview->tabText(m_tabview->currentIndex());
}

void MainWindow::wireMonitor()
{
    connect(m_bar.startPolling, &QPushButton::clicked, this,
            [this] { m_link->enqueue([this]() -> QCoro::Task<> { return m_poller->timerStart(); }); });
    connect(m_bar.stopPolling, &QPushButton::clicked, this, [this] {
        m_link->enqueue([this]() -> QCoro::Task<> {
            m_poller->timerStop();
            co_return;
        });
    });
    // What the poller shows lives in the connection bar and the console.
    connect(m_poller, &monitor::Poller::statusCleared, m_bar.status, &QLineEdit::clear);
    connect(m_poller, &monitor::Poller::indicatorShown, this, [this](const QString &text) {
        m_bar.activity->setVisible(true);
        m_bar.activity->setText(text);
    });
    connect(m_poller, &monitor::Poller::indicatorHidden, m_bar.activity, &QWidget::hide);
    connect(m_poller, &monitor::Poller::indicatorColourChanged, this,
            [this](const QColor &colour) { setTextColor(m_bar.activity, colour); });
    connect(m_poller, &monitor::Poller::stopMarker, m_consolePage,
            &console::ConsolePage::consoleAppendScroll);
    connect(m_tabview, &QTabWidget::currentChanged, this, &MainWindow::onTabChanged);
}

// ---------------------------------------------------------------- menus, transfers and tools

void MainWindow::wireMenus()
{
    connect(m_openFileAction, &QAction::triggered, this, [this] {
        requestTransfer(transfer::Kind::Program, &transfer::Transfers::programLoad, Direction::Load);
    });
    connect(m_aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    connect(m_controllersAction, &QAction::triggered, this, &MainWindow::editControllers);
}
