// The monitor's one window, built in code. Every control carries its name as
// objectName and as accessible description; the ViewController finds them by
// that name, so this class knows nothing about the logic behind them.
#pragma once

#include <QMainWindow>
#include <QString>

namespace axis {
class AxisPage;
}
namespace console {
class ConsolePage;
}
namespace link {
class Link;
}
namespace tools {
class DebugTools;
}
namespace transfer {
class Transfers;
}
namespace panels {
class MbkPage;
class TasksPage;
class VariablesPage;
} // namespace panels

class Clock;
class Dialogs;
class QAction;
class QBoxLayout;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QWidget;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `dialogs` and `clock` outlive the window.
    MainWindow(Dialogs *dialogs, Clock *clock, QWidget *parent = nullptr);
    ~MainWindow() override;

    link::Link &link() { return *m_link; }
    Dialogs &dialogs() { return *m_dialogs; }
    Clock &clock() { return *m_clock; }
    transfer::Transfers &transfers() { return *m_transfers; }
    tools::DebugTools &debugTools() { return *m_debugTools; }

    console::ConsolePage &consolePage() { return *m_consolePage; }
    panels::VariablesPage &variablesPage() { return *m_variablesPage; }
    panels::MbkPage &mbkPage() { return *m_mbkPage; }
    panels::TasksPage &tasksPage() { return *m_tasksPage; }

    QAction *menuOpenFile() const { return m_menuOpenFile; }
    QAction *menuAbout() const { return m_menuAbout; }
    QAction *menuSimulator() const { return m_menuSimulator; }
    QMenu *viewMenu() const { return m_viewMenu; }

    axis::AxisPage &axisPage() { return *m_axisPage; }

private:
    void buildMenus();
    QWidget *buildTopBar();

    Dialogs *m_dialogs = nullptr;
    Clock *m_clock = nullptr;
    link::Link *m_link = nullptr; // a child of the window
    // Children of the window, like the link.
    transfer::Transfers *m_transfers = nullptr;
    tools::DebugTools *m_debugTools = nullptr;
    console::ConsolePage *m_consolePage = nullptr;
    panels::VariablesPage *m_variablesPage = nullptr;
    panels::MbkPage *m_mbkPage = nullptr;
    panels::TasksPage *m_tasksPage = nullptr;
    QAction *m_menuOpenFile = nullptr;
    QAction *m_menuAbout = nullptr;
    QAction *m_menuSimulator = nullptr;
    QMenu *m_viewMenu = nullptr;
    axis::AxisPage *m_axisPage = nullptr; // a child of the tab widget
};
