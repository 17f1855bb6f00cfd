// Collects what the operator caused, in words: every command line sent
// outside the poll tick and the transfers, with the page it came from and the
// controller's error when there was one, and one line per finished load or
// save. Each line also goes into the session file.
#pragma once

#include "journal/operatorlog.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <optional>

class MainWindow;

namespace monitor {
class Poller;
}

namespace journal {

class SessionJournal;

class OperatorJournal : public QObject
{
    Q_OBJECT

public:
    OperatorJournal(MainWindow &window, SessionJournal &session);

    // This run's lines of today, oldest first.
    QList<OperatorEntry> today() const;
    // Records one line now (the page is the selected tab's).
    void add(const QString &what);

signals:
    void added(const journal::OperatorEntry &entry);

private:
    void onCommand(const QString &line);
    void settle(const QString &error);
    QString currentPage() const;
    bool pollTraffic();

    MainWindow &m_window;
    SessionJournal &m_session;
    QPointer<monitor::Poller> m_poller;
    QList<OperatorEntry> m_entries;
    // A command whose reply is still to come: its line waits for it, to carry
    // the controller's error.
    std::optional<OperatorEntry> m_pending;
    QString m_pendingReply;
    int m_transfers = 0;
};

} // namespace journal
