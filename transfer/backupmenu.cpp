#include "transfer/backupmenu.h"

#include "core/background.h"
#include "core/dialogs.h"
#include "link/link.h"
#include "transfer/backups.h"
#include "transfer/restorewindow.h"
#include "ui/lockedcontrols.h"

#include <QAction>
#include <QDir>
#include <QFileSystemWatcher>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace transfer {

namespace {

struct MenuContext
{
    QWidget *window;
    wire::Link *link;
    Backups *backups;
    Dialogs *dialogs;
    const WatchLock *lock;
    std::function<QString()> controllerName;
    std::shared_ptr<QString> lastFolder; // where the folder dialogs start
};

void alertLater(const MenuContext &c, const QString &message, const QString &informative)
{
    alertAfterAction(c.window, *c.dialogs, message, informative, Dialogs::Style::Critical);
}

QCoro::Task<> backUp(MenuContext c, QString parentDir)
{
    const Backups::BackupOutcome outcome = co_await c.backups->backUp(parentDir, c.controllerName());
    if (outcome.failure != Backups::Failure::None && !outcome.error.isEmpty())
        alertLater(c, QStringLiteral("Backup Failed"), outcome.error);
}

QCoro::Task<> restore(MenuContext c, Backups::Plan plan, QPointer<RestoreWindow> shown)
{
    if (shown)
        shown->close();
    const Backups::RestoreOutcome outcome = co_await c.backups->restore(std::move(plan));
    if (outcome.failure == Backups::Failure::LinkLost) {
        // The tables already loaded, and the one cut off, now differ from
        // what the comparison showed.
        alertLater(c, QStringLiteral("Restore Failed"),
                   (QStringList{QStringLiteral("The connection ended during the restore: the controller may "
                                               "hold only part of the backup.")} +
                    Backups::restoreReport(outcome))
                       .join(QLatin1Char('\n')));
        co_return;
    }
    if (outcome.failure != Backups::Failure::None) {
        alertLater(c, QStringLiteral("Restore Failed"), outcome.error);
        co_return;
    }
    // Each load has written its lines into the console and the status line
    // says the restore is done; refused lines also deserve an alert.
    if (outcome.refusedTotal() > 0)
        alertLater(c, QStringLiteral("Restore Finished: the controller refused lines"),
                   Backups::restoreReport(outcome).join(QLatin1Char('\n')));
}

// Restore goes off for good once a file of the backup no longer holds what
// was compared. The files are read again away from the window; a change that
// leaves them as they were (a touch, a copy of the same bytes) changes nothing.
QCoro::Task<> recheckBackup(QPointer<RestoreWindow> shown, BackupSet compared)
{
    const QString folder = compared.folder;
    QCoro::Task<ReadBackup> reading = core::inBackground<ReadBackup>([folder] { return readBackup(folder); });
    const ReadBackup now = co_await reading;
    if (shown && !now.holds(compared))
        shown->disableRestore(
            QStringLiteral("The backup has changed since the comparison: restore again to compare it anew."));
}

void watchBackupFiles(RestoreWindow *shown, const Backups::Plan &plan)
{
    QStringList paths(plan.set.paths.cbegin(), plan.set.paths.cend());
    paths << QDir(plan.set.folder).filePath(QStringLiteral("manifest.json"));
    auto *watcher = new QFileSystemWatcher(paths, shown);
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, shown,
                     [shown, watcher, paths, compared = plan.set](const QString &) {
                         watcher->addPaths(paths); // a file replaced by a rename leaves the watch
                         QCoro::Task<> checking = recheckBackup(shown, compared);
                         Q_UNUSED(checking); // goes on alone
                     });
}

void showPlan(const MenuContext &c, const Backups::Plan &plan)
{
    auto *shown = new RestoreWindow(plan, *c.lock, c.window);
    watchBackupFiles(shown, plan);
    const quint64 generation = plan.generation;
    const auto off = [shown] {
        shown->disableRestore(QStringLiteral(
            "The connection the backup was compared on has ended: restore again to compare it anew."));
    };
    QObject::connect(c.link, &wire::Link::stateChanged, shown, [shown, off](wire::State state, wire::Reason) {
        if (state == wire::State::Closing || state == wire::State::Disconnected ||
            state == wire::State::Connecting)
            off();
    });
    // The link or the files may have changed while the tables were read and
    // compared, before anything watched them.
    if (!wire::isUp(c.link->state()) || c.link->generation() != generation) {
        off();
    } else {
        QCoro::Task<> checking = recheckBackup(shown, plan.set);
        Q_UNUSED(checking); // goes on alone
    }
    QObject::connect(shown, &RestoreWindow::restoreRequested, c.window, [c, shown] {
        const QString question =
            QStringLiteral("Restore the backup \"%1\"?\n\nThe controller's program, points and MBK words are "
                           "replaced by the backup's.")
                .arg(QDir::toNativeSeparators(shown->plan().set.folder));
        if (!c.dialogs->confirm(question)) {
            shown->declined();
            return;
        }
        const QPointer<RestoreWindow> window(shown);
        // Held back by the lock: pressed again once it is off.
        c.link->enqueue(wire::unlessLocked(
            *c.lock, [c, plan = shown->plan(), window] { return restore(c, plan, window); },
            [window] {
                if (window)
                    window->declined();
            }));
    });
    shown->show();
}

QCoro::Task<> planRestore(MenuContext c, QString folder)
{
    const Backups::Plan plan = co_await c.backups->planRestore(folder);
    if (plan.failure == Backups::Failure::Files)
        alertLater(c, QStringLiteral("Restore Refused"), plan.error);
    else if (plan.failure == Backups::Failure::None)
        showPlan(c, plan);
}

QString chooseFolder(const MenuContext &c, const QString &title, const QString &message)
{
    const QString folder = c.dialogs->chooseFolder({title, message, QString(), *c.lastFolder, QString()});
    if (!folder.isEmpty())
        *c.lastFolder = folder;
    return folder;
}

} // namespace

void installBackups(QWidget *window, QMenu *fileMenu, wire::Link &link, Backups &backups, Dialogs &dialogs,
                    const WatchLock &lock, std::function<QString()> controllerName)
{
    const MenuContext c{
        window, &link, &backups, &dialogs, &lock, std::move(controllerName), std::make_shared<QString>()};
    auto *backUpAction = new QAction(QStringLiteral("Back Up Controller\u2026"), window);
    backUpAction->setObjectName(QStringLiteral("menuBackUp"));
    backUpAction->setStatusTip(
        QStringLiteral("Keep the controller's program, points and MBK words in one folder"));
    QObject::connect(backUpAction, &QAction::triggered, window, [c] {
        const QString parent = chooseFolder(c, QStringLiteral("Back Up Controller"),
                                            QStringLiteral("Choose the folder the backup goes into"));
        if (!parent.isEmpty())
            c.link->enqueue([c, parent] { return backUp(c, parent); });
    });
    auto *restoreAction = new QAction(QStringLiteral("Restore Controller\u2026"), window);
    restoreAction->setObjectName(QStringLiteral("menuRestore"));
    restoreAction->setStatusTip(QStringLiteral("Compare a backup with the controller, then put it back"));
    QObject::connect(restoreAction, &QAction::triggered, window, [c] {
        const QString folder =
            chooseFolder(c, QStringLiteral("Restore Controller"), QStringLiteral("Choose the backup folder"));
        if (!folder.isEmpty())
            c.link->enqueue([c, folder] { return planRestore(c, folder); });
    });
    fileMenu->addSeparator();
    // Both are on while the link is up; the lock has the last word on the
    // restore.
    auto *locked = new ui::LockedControls(lock, restoreAction);
    const auto enable = [backUpAction, restoreAction, locked](bool up) {
        backUpAction->setEnabled(up);
        locked->setEnabled(restoreAction, up);
    };
    enable(wire::isUp(link.state()));
    QObject::connect(&link, &wire::Link::stateChanged, restoreAction,
                     [enable](wire::State state, wire::Reason) {
                         enable(state == wire::State::LoggingIn || state == wire::State::Ready);
                     });
    fileMenu->addAction(backUpAction);
    fileMenu->addAction(restoreAction);
}

} // namespace transfer
