// Backing up a whole controller and putting it back: the three tables read
// the way Compare reads them (no attention byte: a running program keeps
// running), checked, and written as one backup folder; a backup compared with
// the controller, then loaded with the ordinary loads. Each call runs inside
// one link action (the caller enqueues it).
#pragma once

#include "transfer/backupset.h"
#include "transfer/compare.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <array>

namespace wire {
class Link;
}

namespace transfer {

class Transfers;

class Backups : public QObject
{
    Q_OBJECT

public:
    Backups(wire::Link &link, Transfers &transfers, QObject *parent = nullptr);

    // Why a backup or restore ended; Done when it went through.
    // Unsendable: a line no restore could send back to the controller.
    enum class Failure { None, LinkLost, NotATable, Unsendable, Files, ConnectionChanged };

    struct BackupOutcome
    {
        Failure failure = Failure::None;
        QString folder; // the new backup
        QString error;  // for the user; empty after LinkLost (the link has said why)
    };
    // Reads the three tables and writes them as a new backup folder in
    // `parentDir`, named after `controller`.
    QCoro::Task<BackupOutcome> backUp(QString parentDir, QString controller);

    // A backup against the controller: what a restore would change.
    struct Plan
    {
        Failure failure = Failure::None;
        QString error;
        BackupSet set;
        ProgramComparison program;
        TableComparison points;
        TableComparison mbk;
        quint64 generation = 0; // the link's, when the listings had arrived
        // Why a listing held a line of no table (the comparison shows it as
        // an entry), else empty. A restore loads the backup all the same.
        QString notATable;
        bool identical() const { return program.identical() && points.identical() && mbk.identical(); }
    };
    QCoro::Task<Plan> planRestore(QString folder);

    struct RestoreOutcome
    {
        Failure failure = Failure::None;
        QString error;
        // Lines the controller refused, by Kind; -1 for a table not loaded.
        std::array<int, 3> refused{-1, -1, -1};
        int refusedTotal() const;
    };
    // Loads the points, the MBK words and the program of `plan`, provided
    // the connection is still the one it was compared on and the files are
    // still the ones compared.
    QCoro::Task<RestoreOutcome> restore(Plan plan);

    // One line per loaded file: its name and how many lines the controller
    // refused, in the order they were loaded.
    static QStringList restoreReport(const RestoreOutcome &outcome);

signals:
    // The status line's text; empty at the end.
    void status(const QString &text);
    // A backup, or a restore's reading of the controller, begins and ends:
    // what goes to the controller in between is its own.
    void started();
    void ended();
    void backedUp(const QString &folder);

private:
    QCoro::Task<BackupOutcome> readAndWrite(QString parentDir, QString controller);
    QCoro::Task<Plan> readAndCompare(QString folder);

    wire::Link &m_link;
    Transfers &m_transfers;
};

} // namespace transfer
