// The console tab's side panel: the breakpoint controls, the transfer buttons
// and the tool buttons. The panel only builds them and reports their clicks;
// the transfers and the debugging tools run what the clicks ask for.
#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;
class WatchLock;

namespace ui {
class LockedControls;
}

namespace console {

class SidePanel : public QWidget
{
    Q_OBJECT

public:
    // The loads, the clock set and the breakpoint changes stay off while
    // `lock`, which outlives the panel, is on.
    explicit SidePanel(const WatchLock &lock, QWidget *parent = nullptr);

    void setConnected(bool connected);
    // The controls that only make sense at a breakpoint stop.
    void setBreakpointMode(bool stopped);

    QString breakpointTarget() const;
    void setBreakpointTarget(const QString &target);
    QString breakpointVariable() const;
    void setBreakpointVariable(const QString &name);

signals:
    void programLoadRequested();
    void programSaveRequested();
    void pointLoadRequested();
    void pointSaveRequested();
    void mbkLoadRequested();
    void mbkSaveRequested();
    void pointCompareRequested();
    void mbkCompareRequested();
    void clockCheckRequested();
    void clockSetRequested();
    void monitorRequested();
    void monitorListRequested();
    void breakpointAddDelRequested();
    void breakpointListRequested();
    void breakpointClearAllRequested();
    void breakpointContinueRequested();
    void breakpointStepRequested();
    void breakpointVariableRequested();

private:
    ui::LockedControls *m_locked = nullptr;
    QPushButton *m_buttonFileOpen = nullptr;
    QPushButton *m_buttonFileSave = nullptr;
    QPushButton *m_buttonPointLoad = nullptr;
    QPushButton *m_buttonPointSave = nullptr;
    QPushButton *m_buttonMbkLoad = nullptr;
    QPushButton *m_buttonMbkSave = nullptr;
    QPushButton *m_buttonPointCompare = nullptr;
    QPushButton *m_buttonMbkCompare = nullptr;
    QPushButton *m_buttonRtcCheck = nullptr;
    QPushButton *m_buttonRtcAdj = nullptr;
    QPushButton *m_buttonMon = nullptr;
    QPushButton *m_buttonMonList = nullptr;
    QLineEdit *m_textFieldBkpNumber = nullptr;
    QLineEdit *m_textFieldBkpVariName = nullptr;
    QPushButton *m_buttonBkpN = nullptr;
    QPushButton *m_buttonBkpEnum = nullptr;
    QPushButton *m_buttonBkpT = nullptr;
    QPushButton *m_buttonBkpAddDel = nullptr;
    QPushButton *m_buttonBkpAllClr = nullptr;
    QPushButton *m_buttonBkpVari = nullptr;
};

} // namespace console
