// A monitor window: the connection bar, the seven pages and the menus. It
// owns the link, the poller, the transfers and the debugging tools and wires
// them to the pages; each page builds and drives its own controls, and is
// built when first shown. Closing the window disconnects, then saves the
// settings; the program ends with its last window (see WindowSet).
#pragma once

#include "app/addressbook.h"
#include "app/connectionbar.h"
#include "app/controllersettings.h"
#include "monitor/tabs.h"

#include <QCoroTask>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <optional>

namespace axis {
class AxisPage;
}
namespace console {
class ConsolePage;
}
namespace wire {
class Link;
enum class State;
enum class Reason;
} // namespace wire
namespace monitor {
class CuPage;
class IoPage;
class Poller;
} // namespace monitor
namespace panels {
class MbkPage;
class TasksPage;
class VariablesPage;
} // namespace panels
namespace tools {
class DebugTools;
}
namespace transfer {
class Backups;
class Transfers;
enum class Kind;
} // namespace transfer
namespace trend {
class TrendDock;
}
namespace ui {
class LockedControls;
class Page;
class PageTabs;
} // namespace ui

class Clock;
class Dialogs;
class WatchLock;
class QAction;
class QCompleter;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSettings;
class QTabWidget;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `dialogs`, `clock` and `settings` outlive the window. The stored
    // settings fill the window at once and are written back when it closes;
    // without `settings` nothing is loaded or saved.
    MainWindow(Dialogs *dialogs, Clock *clock, QSettings *settings = nullptr, QWidget *parent = nullptr);
    ~MainWindow() override;

    wire::Link &link() { return *m_link; }
    Dialogs &dialogs() { return *m_dialogs; }
    Clock &clock() { return *m_clock; }
    monitor::Poller &poller() { return *m_poller; }
    transfer::Transfers &transfers() { return *m_transfers; }
    tools::DebugTools &debugTools() { return *m_debugTools; }
    // While on, every control that changes the machine is off; the top bar's
    // "Watch only" button turns it on, and off for a reason.
    WatchLock &watchLock() { return *m_watchLock; }

    // The pages. The console is there from the start; any other page is
    // built the first time its tab is shown or it is asked for here.
    console::ConsolePage &consolePage() { return *m_consolePage; }
    monitor::IoPage &ioPage();
    panels::VariablesPage &variablesPage();
    panels::MbkPage &mbkPage();
    monitor::CuPage &cuPage();
    axis::AxisPage &axisPage();
    panels::TasksPage &tasksPage();
    ui::PageTabs &pageTabs() { return *m_pages; }

    QMenu *fileMenu() const { return m_fileMenu; }
    QMenu *viewMenu() const { return m_viewMenu; }
    QAction *simulatorAction() const { return m_simulatorAction; }
    QAction *controllersAction() const { return m_controllersAction; }

    // The named controllers, as the settings hold them now: File > Controllers…
    // in any window saves them there. Empty without settings.
    app::AddressBook addressBook() const;
    // The address book's name of the controller connected to, while there is
    // one; empty when the connection was made by address.
    QString controllerName() const { return m_controllerName; }
    // Words after the program's name in the title ("built-in simulator"),
    // shown in place of the controller's name; empty for none.
    void setTitleNote(const QString &note);
    // Takes the size, place and docks stored when a window last closed.
    void restoreLayout();

    // The selected page, as the poll and the live display know it.
    monitor::Tab currentTab() const { return m_currentTab; }
    // The selected page's title, as its tab shows it.
    QString currentTabTitle() const;

    // The controller's address, as if typed into the address field.
    void setAddress(const QString &address);
    // Connects to the address in the address field, showing the console;
    // true once the socket is up.
    QCoro::Task<bool> connectController();
    void disconnectController();
    // Shows `address` in the address field in place of the controller's: the
    // settings go on keeping the address it replaced while the field shows it.
    void showStandInAddress(const QString &address);
    // Makes the controls usable (or not) for a connected controller.
    void setConnectedControlsEnabled(bool connected);
    // Writes what the monitor remembers between runs; closing does it too.
    void saveSettings();
    // Closes as close() does but saves none of that: File > Quit leaves it to
    // the window it was chosen in, the one in use.
    void closeLeavingSettings();

signals:
    // After the window has followed a change of tab (on a disconnected
    // window, back to the console).
    void currentTabChanged(monitor::Tab tab);
    // File > New Window and File > Quit, for whoever keeps the windows.
    void newWindowRequested();
    void quitRequested();
    // The window has closed for good (after its goodbye, if connected).
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // What the address field shows when no stored address replaces it, and
    // the title before a controller's name.
    static inline const QString kDefaultHost = QStringLiteral("192.168.0.10");
    static inline const QString kProgramTitle = QStringLiteral("QuorinMonitor");
    void buildMenus();
    void buildPages();
    template <class P> P &pageOf(monitor::Tab tab);
    void restoreState();
    void loadSettings();
    void showAbout();
    void editControllers();
    void offerControllerNames();
    // The controllers renamed in the address book (the name before, the name
    // now): the one this window is connected to by name takes its new name.
    void takeRenames(const QList<std::pair<QString, QString>> &renamed);
    void showControllerName();

    void wireLink();
    void wireMonitor();
    void wireConsole();
    void wireMenus();
    // A load or a save asked for (the menu, the side panel, a shortcut): its
    // file is chosen at once, then the transfer waits its turn with it.
    using Transfer = QCoro::Task<> (transfer::Transfers::*)(QString);
    enum class Direction { Load, Save };
    void requestTransfer(transfer::Kind kind, Transfer start, Direction direction);

    void onConnectClicked();
    void onWatchOnlyClicked(bool checked);
    void onStateChanged(wire::State state, wire::Reason reason);
    void installComparisons();
    QCoro::Task<> closeWhenDown();
    void onReceived(const QString &text, const QString &last);
    void onTabChanged(int index);
    void updateBkpControls();
    qint64 receiveTimeoutSeconds() const;
    void restoreControllerSettings();
    void keepControllerSettings();

    Dialogs *m_dialogs = nullptr;
    Clock *m_clock = nullptr;
    QSettings *m_settings = nullptr;
    // Children of the window.
    WatchLock *m_watchLock = nullptr;
    ui::LockedControls *m_locked = nullptr;
    wire::Link *m_link = nullptr;
    monitor::Poller *m_poller = nullptr;
    transfer::Transfers *m_transfers = nullptr;
    transfer::Backups *m_backups = nullptr;
    tools::DebugTools *m_debugTools = nullptr;

    // The pages, children of the tab widget, each built when first needed.
    ui::PageTabs *m_pages = nullptr;
    console::ConsolePage *m_consolePage = nullptr;
    // The watched variables' names as stored, until the Variables page is
    // built and takes them.
    QStringList m_storedVariableNames;

    app::ConnectionBar m_bar{this};
    QTabWidget *m_tabview = nullptr;

    QMenu *m_fileMenu = nullptr;
    QAction *m_openFileAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_simulatorAction = nullptr;
    QAction *m_controllersAction = nullptr;
    QLabel *m_labelControllerName = nullptr;
    QString m_controllerName;
    // What is kept for the controller being connected to or connected:
    // restored once it is logged in, saved as it goes.
    QString m_controllerKey;
    std::optional<app::ControllerSettings> m_kept;
    // The user typed the time-out since a connection last reached the login's
    // end: the next Connect takes it rather than the one kept.
    bool m_timeoutTyped = false;
    // A connect made while the controller before still hears its goodbye:
    // the end of that goodbye leaves the new controller's name and key alone.
    bool m_connectAfterGoodbye = false;
    QString m_plottedKey; // the controller whose values the plot shows
    trend::TrendDock *m_trend = nullptr;
    QString m_titleNote;
    QMenu *m_viewMenu = nullptr;

    monitor::Tab m_currentTab = monitor::Tab::Console;
    bool m_connectQueued = false;
    bool m_terminated = false;
    bool m_closeRequested = false;
    // The status line shows that the controller closed the connection; the
    // next connect clears it unless something else replaced it meanwhile.
    bool m_peerClosedShown = false;
    QString m_standInAddress;
    QString m_replacedAddress;
};
