// What the window keeps between runs (its layout, the address, the console's
// histories, the variable names, the time-out) and for each controller (its
// time-out, the page last shown, the plotted values); the controllers known
// by name, and the name in the title.
#include "app/controllersdialog.h"
#include "app/controllersettings.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "console/consolepage.h"
#include "link/link.h"
#include "panels/variablespage.h"
#include "trend/trenddock.h"
#include "ui/pagetabs.h"

#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QStringListModel>
#include <QTabWidget>

void MainWindow::restoreLayout()
{
    if (!m_settings)
        return;
    restoreGeometry(m_settings->value(QStringLiteral("window/geometry")).toByteArray());
    QMainWindow::restoreState(m_settings->value(QStringLiteral("window/state")).toByteArray());
}

void MainWindow::restoreState()
{
    setConnectedControlsEnabled(false);
    m_bar.address->setText(kDefaultHost);
    loadSettings();
    m_tabview->setCurrentIndex(0);
    m_currentTab = monitor::Tab::Console;
    // Another window's Controllers dialog may have changed the names since:
    // the field offers the stored ones again each time it takes the focus,
    // as when its window is brought to the front.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now == m_bar.address)
            offerControllerNames();
    });
}

void MainWindow::loadSettings()
{
    if (!m_settings)
        return;
    app::Settings stored;
    stored.load(*m_settings);
    offerControllerNames();
    m_bar.address->setText(stored.address);
    m_consolePage->restoreHistories(stored.histories[0], stored.histories[1], stored.histories[2]);
    m_storedVariableNames = QStringList(stored.variableNames.begin(), stored.variableNames.end());
    if (ui::Page *page = m_pages->builtPage(int(monitor::Tab::Variables)))
        static_cast<panels::VariablesPage *>(page)->setVariableNames(m_storedVariableNames);
    m_bar.timeout->setText(stored.timeoutSeconds);
}

void MainWindow::saveSettings()
{
    if (!m_settings)
        return;
    app::Settings stored;
    const QString shown = m_bar.address->text();
    const bool standIn = !m_standInAddress.isEmpty() && shown == m_standInAddress;
    stored.address = standIn ? m_replacedAddress : shown;
    using History = console::ConsolePage::History;
    stored.histories = {m_consolePage->history(History::Commands),
                        m_consolePage->history(History::ProgramLines),
                        m_consolePage->history(History::ListStarts)};
    const ui::Page *variables = m_pages->builtPage(int(monitor::Tab::Variables));
    const QStringList names = variables
                                  ? static_cast<const panels::VariablesPage *>(variables)->variableNames()
                                  : m_storedVariableNames;
    for (int i = 0; i < names.size() && i < app::Settings::kVariableRows; ++i)
        stored.variableNames[i] = names.at(i);
    stored.timeoutSeconds = m_bar.timeout->text();
    stored.save(*m_settings);
    // The size, place and docks of the window closed last (after a Quit, of
    // the window it was chosen in: the others save nothing).
    m_settings->setValue(QStringLiteral("window/geometry"), saveGeometry());
    m_settings->setValue(QStringLiteral("window/state"), saveState());
}

void MainWindow::restoreControllerSettings()
{
    // Once per connection, with what was read as it began.
    const std::optional<app::ControllerSettings> kept = std::exchange(m_kept, std::nullopt);
    const bool sameController = std::exchange(m_plottedKey, m_controllerKey) == m_controllerKey;
    m_timeoutTyped = false; // the time-out shown is this controller's now
    if (!kept || !kept->found)
        return;
    // The plot shows this controller's values, not those of the one before.
    // Connected again to the same one (after a time-out, a dropped cable), a
    // series it still plots goes on with the samples that led up to the fault.
    for (int i = m_trend->seriesCount() - 1; i >= 0; --i) {
        if (!sameController || !kept->series.contains(m_trend->probe(i)))
            m_trend->removeSeries(i);
    }
    for (const ui::PlotProbe &probe : kept->series)
        m_trend->addSeries(probe); // refused for one still plotted
    // The page last shown, as a click on its tab would (it starts polling).
    if (kept->lastTab > 0)
        m_tabview->setCurrentIndex(kept->lastTab);
}

void MainWindow::keepControllerSettings()
{
    // What was read as the connection began is still waiting while the login
    // has not finished: the window does not show this controller's page and
    // plots yet, and keeping its state would write over them.
    if (!m_settings || m_controllerKey.isEmpty() || m_kept)
        return;
    app::ControllerSettings kept;
    kept.timeoutSeconds = m_bar.timeout->text();
    kept.lastTab = static_cast<int>(m_currentTab);
    for (int i = 0; i < m_trend->seriesCount(); ++i)
        kept.series.append(m_trend->probe(i));
    kept.save(*m_settings, m_controllerKey);
}

app::AddressBook MainWindow::addressBook() const
{
    // Read each time, never kept: every window of the program shares the one
    // list, which another window, or another copy of the program, may have
    // saved since this one last looked.
    app::AddressBook book;
    if (m_settings) {
        m_settings->sync();
        book.load(*m_settings);
    }
    return book;
}

void MainWindow::editControllers()
{
    // The list as stored now. OK saves the changes made to it, over what
    // another copy of the program may have saved meanwhile. One list is open
    // at a time, whichever window asks.
    static QPointer<ControllersDialog> shown;
    if (shown) {
        shown->raise();
        shown->activateWindow();
        return;
    }
    const QList<app::NamedController> before = addressBook().controllers;
    auto *dialog = new ControllersDialog(before, this);
    shown = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, before] {
        if (m_settings && !app::AddressBook{dialog->controllers()}.saveEdits(*m_settings, before)) {
            m_dialogs->alert(QStringLiteral("The controllers were not saved."),
                             QStringLiteral("The settings file %1 cannot be written: the list holds only "
                                            "until the program ends.")
                                 .arg(QDir::toNativeSeparators(m_settings->fileName())));
        } else if (m_settings) {
            // A renamed controller keeps its time-out, page and plots, and a
            // window of this program connected to it by its name goes on
            // under the new one (at its disconnect it keeps them there).
            const QList<std::pair<QString, QString>> renamed = dialog->renamed();
            app::renameControllerSettings(*m_settings, renamed);
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *window = qobject_cast<MainWindow *>(widget);
                if (window && window->m_settings == m_settings)
                    window->takeRenames(renamed);
            }
        }
        offerControllerNames();
    });
    dialog->open();
}

void MainWindow::takeRenames(const QList<std::pair<QString, QString>> &renamed)
{
    // The first that matches: two names swapped swap once, not back.
    bool named = false, plotted = false, typed = false;
    for (const auto &[before, now] : renamed) {
        const QString from = app::controllerKey(before, QString());
        const QString to = app::controllerKey(now, QString());
        // The name in the address field reaches the controller by its new one.
        if (!typed && app::controllerKey(m_bar.address->text(), QString()) == from) {
            typed = true;
            m_bar.address->setText(now);
        }
        if (!named && !m_controllerName.isEmpty() &&
            app::controllerKey(m_controllerName, QString()) == from) {
            named = true;
            m_controllerName = now;
            if (m_controllerKey == from)
                m_controllerKey = to;
            showControllerName();
        }
        if (!plotted && m_plottedKey == from) {
            plotted = true;
            m_plottedKey = to;
        }
    }
}

void MainWindow::offerControllerNames()
{
    const app::AddressBook book = addressBook();
    QStringList offered;
    for (const app::NamedController &c : book.controllers)
        offered << c.name;
    for (const app::NamedController &c : book.controllers) {
        if (!offered.contains(c.address))
            offered << c.address;
    }
    static_cast<QStringListModel *>(m_bar.addressCompleter->model())->setStringList(offered);
}

void MainWindow::setTitleNote(const QString &note)
{
    m_titleNote = note;
    showControllerName();
}

void MainWindow::showControllerName()
{
    const QString shownName = wire::isUp(m_link->state()) ? m_controllerName : QString();
    const QString after = !m_titleNote.isEmpty() ? m_titleNote : shownName;
    setWindowTitle(after.isEmpty() ? kProgramTitle : kProgramTitle + QStringLiteral(" \u2014 ") + after);
    m_labelControllerName->setText(shownName);
    m_labelControllerName->setAccessibleName(shownName);
    m_labelControllerName->setVisible(!shownName.isEmpty());
    m_labelControllerName->parentWidget()->setVisible(!shownName.isEmpty());
}
