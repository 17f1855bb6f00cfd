// The monitor's one window, built in code. Every control carries its name as
// objectName and as accessible description; the ViewController finds them by
// that name, so this class knows nothing about the logic behind them.
#pragma once

#include <QMainWindow>
#include <QString>

namespace link {
class Link;
}

class Clock;
class Dialogs;
class QAction;
class QBoxLayout;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
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

    QAction *menuOpenFile() const { return m_menuOpenFile; }
    QAction *menuAbout() const { return m_menuAbout; }
    QAction *menuSimulator() const { return m_menuSimulator; }

private:
    // One row of bit lamps with its bank popup, value label and (for outputs)
    // the ON/OFF and clear buttons.
    struct BitGroup
    {
        QString title;
        QString prefix; // lamp name prefix, e.g. "labelOut"
        QString what;   // for accessible names, e.g. "Output"
        QString popup;  // bank popup name
        QString stat;   // value label name
        int bits = 8;
        QString action;  // tag-button action name, empty for inputs
        int onBase = 0;  // tag of the ON button of lamp 0
        int offBase = 0; // tag of the OFF button of lamp 0
        int clearTag = -1;
        QString clearCaption;
        bool headerOnTop = false;
    };

    void buildMenus();
    QWidget *buildTopBar();
    QWidget *buildConsolePage();
    QWidget *buildVariablesPage();
    QWidget *buildMbkPage();
    QWidget *buildAxisPage();
    QWidget *buildTasksPage();
    QGroupBox *buildBitGroup(const BitGroup &g);
    QGroupBox *buildAxisSignals();
    QGroupBox *buildAxisPositions();
    QGroupBox *buildJog();
    QGroupBox *buildHOutputs();
    QGroupBox *buildPointTable();
    QGroupBox *buildPointEditing();
    void pointHeader(QGridLayout *grid, int row);
    QLabel *axisLabel(QChar axis);

    Dialogs *m_dialogs = nullptr;
    Clock *m_clock = nullptr;
    link::Link *m_link = nullptr; // a child of the window
    QAction *m_menuOpenFile = nullptr;
    QAction *m_menuAbout = nullptr;
    QAction *m_menuSimulator = nullptr;
};
