#include "journal/install.h"

#include "app/clock.h"
#include "app/mainwindow.h"
#include "journal/operatordock.h"
#include "journal/operatorjournal.h"
#include "journal/sessionjournal.h"
#include "link/link.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>

namespace journal {

namespace {
const QString kRecordKey = QStringLiteral("recordSessions");
}

void install(MainWindow &window)
{
    link::Link &link = window.link();
    auto *journal = new SessionJournal(&window);
    // The link is the window's first child and goes first: its connection
    // thread is joined before the journal it writes to goes.
    link.setWireTap(journal);

    QAction *record = window.viewMenu()->addAction(QStringLiteral("Record sessions"));
    record->setObjectName(QStringLiteral("menuRecordSessions"));
    record->setCheckable(true);
    record->setStatusTip(QStringLiteral("Keep a transcript of every connection in the sessions folder"));
    record->setChecked(QSettings().value(kRecordKey, true).toBool());
    journal->setEnabled(record->isChecked());
    QObject::connect(record, &QAction::toggled, journal, [journal](bool on) {
        QSettings().setValue(kRecordKey, on);
        journal->setEnabled(on);
    });

    QObject::connect(&link, &link::Link::connectedChanged, journal, [journal, &window](bool up) {
        if (up)
            journal->beginSession(window.clock().now(), window.link().address());
        else
            journal->endSession();
    });
    QObject::connect(&link, &link::Link::timedOut, journal, &SessionJournal::endSession);
    // A refusing disk turns recording off for this run only; the setting
    // stays what the user chose.
    QObject::connect(journal, &SessionJournal::failed, &window, [&window, record](const QString &message) {
        const QSignalBlocker block(record);
        record->setChecked(false);
        window.statusBar()->showMessage(message);
    });

    journal->rotate(window.clock().now());

    auto *operatorJournal = new OperatorJournal(window, *journal);
    auto *dock = new OperatorDock(*operatorJournal, *journal, window.dialogs(), &window);
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    QAction *show = dock->toggleViewAction();
    show->setObjectName(QStringLiteral("menuOperatorJournal"));
    show->setText(QStringLiteral("Operator journal"));
    window.viewMenu()->addAction(show);
}

} // namespace journal
