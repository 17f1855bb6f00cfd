// Collects what the operator caused, in words: every command line sent
// outside the poll tick and the transfers, with the page it came from and the
// controller's error when there was one, and one line per finished load or
// save. Each line also goes into the session file.
#pragma once

#include "journal/operatorlog.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <functional>
#include <optional>

class Clock;
class QTimer;
class WatchLock;

namespace monitor {
class Poller;
}
namespace transfer {
class Backups;
class Transfers;
} // namespace transfer
namespace wire {
class Link;
}

namespace journal {

// What the operator journal watches; everything outlives it.
struct Sources
{
    wire::Link &link;
    Clock &clock;
    monitor::Poller &poller;
    transfer::Transfers &transfers;
    transfer::Backups &backups;
    // Turning it on and off (with the reason) is a line each.
    const WatchLock &watchLock;
    // The selected page's title, as its tab shows it.
    std::function<QString()> pageTitle;
    // The address book's name of the controller connected to; empty when
    // the connection was made by address.
    std::function<QString()> controllerName;
};

class SessionJournal;

class OperatorJournal : public QObject
{
    Q_OBJECT

public:
    OperatorJournal(Sources sources, SessionJournal &session, QObject *parent = nullptr);

    // This run's lines of today, oldest first.
    QList<OperatorEntry> today() const;
    // Records one line now (the page is the selected tab's).
    void add(const QString &what);
    // The time by the journal's clock: what decides which day is today.
    QDateTime now() const;

signals:
    void added(const journal::OperatorEntry &entry);

private:
    // What happened, noted cheaply as it happens (a command can go out in a
    // busy stretch) and read in order soon after.
    struct Event
    {
        enum class Kind { Command, Reply, Display, End } kind;
        QDateTime time;
        QString page;
        QByteArray bytes;   // Command
        QString text;       // Reply, Display: the text; End: what to add
        QString controller; // Command
    };
    void note(Event &&event);
    void process();
    void onCommand(const Event &event);
    void settle(const QString &error);
    // Keeps, records and announces a finished line.
    void append(const OperatorEntry &entry);
    // What a transfer sends is the transfer's, not the operator's commands.
    void beginTransfer();
    void endTransfer();
    bool pollTraffic();
    // The controller a line made now concerns.
    QString controller() const;

    Sources m_sources;
    SessionJournal &m_session;
    // Today's lines, the only ones shown again (and any that a clock set
    // back dates later): a monitor runs for weeks. The session files keep
    // the earlier days'.
    QList<OperatorEntry> m_entries;
    // A command whose reply is still to come: its line waits for it, to carry
    // the controller's error.
    std::optional<OperatorEntry> m_pending;
    QString m_pendingReply;
    int m_transfers = 0;
    QList<Event> m_events;
    bool m_processPosted = false;
    QTimer *m_unanswered = nullptr;
};

} // namespace journal
