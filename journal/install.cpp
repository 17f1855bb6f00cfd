#include "journal/install.h"

#include "core/clock.h"
#include "journal/operatordock.h"
#include "journal/operatorjournal.h"
#include "journal/sessionjournal.h"
#include "link/link.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>

namespace journal {

namespace {
const QString kRecordKey = QStringLiteral("recordSessions");
}

void install(QMainWindow &window, QMenu &viewMenu, Dialogs &dialogs, QSettings *settings, Sources sources)
{
    wire::Link &link = sources.link;
    Clock &clock = sources.clock;
    auto *journal = new SessionJournal(&window);
    link.setWireTap(journal);
    // The tap goes before the journal does.
    QObject::connect(journal, &QObject::destroyed, &link, [&link] { link.setWireTap(nullptr); });

    QAction *record = viewMenu.addAction(QStringLiteral("Record sessions"));
    record->setObjectName(QStringLiteral("menuRecordSessions"));
    record->setCheckable(true);
    record->setStatusTip(QStringLiteral("Keep a transcript of every connection in the sessions folder"));
    record->setChecked(!settings || settings->value(kRecordKey, true).toBool());
    journal->setEnabled(record->isChecked());
    const std::function<QString()> name = sources.controllerName;
    // Turned on while connected (again, or once a refusing disk has room),
    // the rest of the connection goes into a file of its own.
    QObject::connect(record, &QAction::toggled, journal, [journal, settings, &clock, &link, name](bool on) {
        if (settings)
            settings->setValue(kRecordKey, on);
        journal->setEnabled(on);
        if (on && wire::isUp(link.state()))
            journal->beginSession(clock.now(), link.address(), name ? name() : QString());
    });
    // A refusing disk turns recording off for this run only; the setting
    // stays what the user chose.
    QObject::connect(journal, &SessionJournal::failed, &window, [&window, record](const QString &message) {
        const QSignalBlocker block(record);
        record->setChecked(false);
        window.statusBar()->showMessage(message);
    });

    journal->rotate(clock.now());

    auto *operatorJournal = new OperatorJournal(std::move(sources), *journal, &window);
    // After the operator journal's own: the line of a command still waiting
    // for its answer goes into the transcript before it closes.
    QObject::connect(&link, &wire::Link::stateChanged, journal,
                     [journal, &clock, &link, name](wire::State state) {
                         if (state == wire::State::LoggingIn)
                             journal->beginSession(clock.now(), link.address(), name ? name() : QString());
                         else if (state == wire::State::Disconnected)
                             journal->endSession();
                     });
    auto *dock = new OperatorDock(*operatorJournal, *journal, dialogs, &window);
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    QAction *show = dock->toggleViewAction();
    show->setObjectName(QStringLiteral("menuOperatorJournal"));
    show->setText(QStringLiteral("Operator journal"));
    viewMenu.addAction(show);
}

} // namespace journal
