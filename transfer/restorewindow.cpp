#include "transfer/restorewindow.h"

#include "transfer/comparewindow.h"
#include "ui/controls.h"
#include "ui/lockedcontrols.h"

#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace transfer {

namespace {

QGroupBox *section(const QString &name, const QString &title, QWidget *pane)
{
    auto *box = ui::named(new QGroupBox(title), name);
    auto *v = new QVBoxLayout(box);
    v->addWidget(pane);
    return box;
}

QString summaryOf(const Backups::Plan &plan)
{
    const QString when = QLocale().toString(plan.set.meta.time.toLocalTime(), QLocale::ShortFormat);
    const QString head = QStringLiteral("Backup of %1 made %2 (\"%3\").")
                             .arg(plan.set.meta.controller, when, QDir::toNativeSeparators(plan.set.folder));
    return head + (plan.identical()
                       ? QStringLiteral(" The controller holds the same tables: restoring changes nothing.")
                       : QStringLiteral(" Restoring it changes the controller as shown below."));
}

} // namespace

RestoreWindow::RestoreWindow(const Backups::Plan &plan, const WatchLock &lock, QWidget *parent)
    : QDialog(parent), m_plan(plan), m_locked(new ui::LockedControls(lock, this))
{
    setObjectName(QStringLiteral("restoreWindow"));
    setWindowTitle(QStringLiteral("Restore Controller"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *v = new QVBoxLayout(this);
    auto *summary = ui::named(new QLabel(summaryOf(plan)), QStringLiteral("labelRestoreSummary"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(summary);

    const auto path = [&plan](Kind kind) { return plan.set.paths.at(static_cast<std::size_t>(kind)); };
    auto *sections = new QSplitter(Qt::Vertical);
    sections->setChildrenCollapsible(false);
    sections->addWidget(section(QStringLiteral("groupRestoreProgram"), QStringLiteral("Program"),
                                new ComparePane(path(Kind::Program), plan.program)));
    sections->addWidget(
        section(QStringLiteral("groupRestorePoints"), QStringLiteral("Points"),
                new ComparePane(Kind::Point, path(Kind::Point), plan.points, QStringLiteral("Backup"))));
    sections->addWidget(
        section(QStringLiteral("groupRestoreMbk"), QStringLiteral("MBK words"),
                new ComparePane(Kind::Mbk, path(Kind::Mbk), plan.mbk, QStringLiteral("Backup"))));
    v->addWidget(sections, 1);

    m_off = ui::named(new QLabel, QStringLiteral("labelRestoreOff"));
    m_off->setWordWrap(true);
    m_off->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_off->setVisible(false);
    v->addWidget(m_off);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_restore =
        ui::makeButton(QStringLiteral("buttonRestore"), QStringLiteral("Restore"),
                       QStringLiteral("Load the backup's points, MBK words and program into the controller"));
    QPushButton *closeButton = ui::makeButton(QStringLiteral("buttonRestoreClose"), QStringLiteral("Close"));
    closeButton->setDefault(true);
    m_locked->add(m_restore);
    buttons->addWidget(m_restore);
    buttons->addWidget(closeButton);
    v->addLayout(buttons);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        // Off while the request waits for its turn: a second press would
        // queue a second restore.
        m_locked->setEnabled(m_restore, false);
        emit restoreRequested();
    });
    resize(760, 680);
}

void RestoreWindow::disableRestore(const QString &why)
{
    m_locked->setEnabled(m_restore, false);
    if (m_isOff)
        return;
    m_isOff = true;
    m_off->setText(why);
    m_off->setVisible(true);
}

void RestoreWindow::declined()
{
    m_locked->setEnabled(m_restore, !m_isOff);
}

} // namespace transfer
