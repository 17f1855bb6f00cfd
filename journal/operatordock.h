// The "Operator journal" dock: today's operator lines, a filter, CSV export,
// and the lines of an earlier session file, read away from the window.
#pragma once

#include "journal/operatorlog.h"

#include <QDockWidget>
#include <QFutureWatcher>
#include <QList>
#include <QPromise>
#include <memory>

class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
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
    ~OperatorDock() override;

    // What the list shows now, after the filter (nothing before the dock
    // has been shown or asked for a file).
    QList<OperatorEntry> shown() const { return m_shown; }
    // Shows the operator lines of a session file instead of today's, once
    // they are read (fileShown() then); false when the file is refused.
    bool showFile(const QString &path);
    void showToday();
    void exportCsv();
    // How many operator lines of a file are shown at most.
    void setEntryCap(int entries) { m_entryCap = entries; }

signals:
    // The lines of the file that showFile() was given are in the list.
    void fileShown();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The list, the filter and the buttons, made once.
    void ensureBody();
    void refill();
    QTreeWidgetItem *item(const OperatorEntry &entry) const;
    void onFileRead();
    void stopReading();
    // Wakes the Today list at the next midnight (or within the hour, so a
    // clock set since is followed too).
    void watchTheDay();
    void onWatch();

    OperatorJournal &m_journal;
    SessionJournal &m_session;
    Dialogs &m_dialogs;
    QList<OperatorEntry> m_entries; // today's, or the opened file's
    QList<OperatorEntry> m_shown;
    bool m_today = true;
    // The day the Today list is of.
    QDate m_day;
    QTimer *m_midnight = nullptr;
    bool m_stale = true; // lines came while hidden, or before the list was made
    int m_entryCap = kMaxOpenedEntries;
    // The file being read; empty when none is.
    QString m_reading;
    QFutureWatcher<OperatorFile> *m_read = nullptr;
    // The reading in progress: its promise is also the token of its
    // hand-over to the window's thread.
    std::shared_ptr<QPromise<OperatorFile>> m_promise;
    QLabel *m_source = nullptr;
    QLineEdit *m_filter = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_todayButton = nullptr;
};

} // namespace journal
