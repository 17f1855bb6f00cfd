// The "Operator journal" dock: today's operator lines, a filter, CSV export,
// and the lines of an earlier session file.
#pragma once

#include "journal/operatorlog.h"

#include <QDockWidget>
#include <QList>

class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace journal {

class OperatorJournal;
class SessionJournal;

class OperatorDock : public QDockWidget
{
    Q_OBJECT

public:
    OperatorDock(OperatorJournal &journal, SessionJournal &session, Dialogs &dialogs,
                 QWidget *parent = nullptr);

    // What the list shows now, after the filter.
    QList<OperatorEntry> shown() const { return m_shown; }
    // Shows the operator lines of a session file instead of today's.
    bool showFile(const QString &path);
    void showToday();
    void exportCsv();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refill();
    QTreeWidgetItem *item(const OperatorEntry &entry) const;

    OperatorJournal &m_journal;
    SessionJournal &m_session;
    Dialogs &m_dialogs;
    QList<OperatorEntry> m_entries; // today's, or the opened file's
    QList<OperatorEntry> m_shown;
    bool m_today = true;
    bool m_stale = false; // lines came while hidden
    QLabel *m_source = nullptr;
    QLineEdit *m_filter = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_todayButton = nullptr;
};

} // namespace journal
