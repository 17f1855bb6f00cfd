// The window that shows what loading a file would change on the controller,
// with "Load" (the ordinary load of that file) and "Close". Load holds only as
// long as what was compared: once the connection or the file is another, it
// goes off for good and the window says why.
#pragma once

#include "transfer/compare.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeView;
class WatchLock;

namespace ui {
class LockedControls;
}

namespace transfer {

// One comparison: its summary line over its rows, coloured by change.
class ComparePane : public QWidget
{
    Q_OBJECT

public:
    // `fileSide` heads the column of the file's values.
    ComparePane(Kind kind, const QString &path, const TableComparison &c,
                const QString &fileSide = QStringLiteral("File"), QWidget *parent = nullptr);
    ComparePane(const QString &path, const ProgramComparison &c, QWidget *parent = nullptr);

private:
    void build(const QString &summary);

    QLabel *m_summary = nullptr;
    QTreeView *m_tree = nullptr;
};

class CompareWindow : public QDialog
{
    Q_OBJECT

public:
    // Load stays off while `lock`, which outlives the window, is on.
    CompareWindow(Kind kind, const QString &path, const TableComparison &c, const WatchLock &lock,
                  QWidget *parent = nullptr);
    CompareWindow(const QString &path, const ProgramComparison &c, const WatchLock &lock,
                  QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    QString path() const { return m_path; }

    // Why Load no longer does what the window shows.
    enum class LoadOff { LinkEnded, FileChanged };
    // Switches Load off and shows why; the first reason stays.
    void disableLoad(LoadOff why);
    // The load waited its turn and the watch-only lock held it back: Load
    // is on again once the lock is off, unless off for good.
    void loadHeldBack();

signals:
    // The user pressed "Load". Load stays off until the receiver either
    // closes the window (the load goes ahead), calls disableLoad() or
    // loadHeldBack().
    void loadRequested();

private:
    void build(ComparePane *pane, const WatchLock &lock);

    Kind m_kind;
    QString m_path;
    QLabel *m_loadOff = nullptr;
    QPushButton *m_load = nullptr;
    ui::LockedControls *m_locked = nullptr;
    bool m_loadIsOff = false;
};

} // namespace transfer
