#include "support/fixture.h"

#include "journal/sessionjournal.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QThread>

sim::Options MonitorFixture::makeOptions()
{
    sim::Options o;
    o.port = 0;
    return o;
}

MonitorFixture::MonitorFixture(const sim::Options &options, bool startSim, const QString &settingsFile)
{
    // Qt keeps the parsed settings file of this process; a new run reads the
    // file itself, so make Qt see it as changed on disk.
    QFile file(settingsFile);
    if (!settingsFile.isEmpty() && file.open(QIODevice::ReadWrite))
        file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600), QFileDevice::FileModificationTime);
    settings = std::make_unique<QSettings>(
        settingsFile.isEmpty() ? tempDir.filePath(QStringLiteral("settings.ini")) : settingsFile,
        QSettings::IniFormat);
    if (startSim) {
        sim = std::make_unique<sim::Server>(options);
        if (!sim->start())
            qFatal("the simulator did not start");
    }
    // Nothing a test does lands in the user's own data and settings.
    QStandardPaths::setTestModeEnabled(true);
    link::setTraceSink([](const QString &) {});
    window = std::make_unique<MainWindow>(&dialogs, &clock, settings.get());
    if (auto *journal = window->findChild<journal::SessionJournal *>())
        journal->setDirectory(tempDir.filePath(QStringLiteral("sessions")));
    link().setDisconnectPause(std::chrono::milliseconds(0));
    window->resize(1280, 800);
    window->show();
}

MonitorFixture::~MonitorFixture()
{
    if (window && link().isConnected())
        window->disconnectController();
    window.reset();
    sim.reset();
}

bool MonitorFixture::waitFor(const std::function<bool()> &cond, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (window->link().pendingDisplays() == 0 && cond())
            return true;
        QThread::msleep(2);
    }
    QCoreApplication::processEvents();
    return window->link().pendingDisplays() == 0 && cond();
}

bool MonitorFixture::waitForCommand(const QString &line, int timeoutMs)
{
    return waitFor([&] { return sim->commands().contains(line); }, timeoutMs);
}

void MonitorFixture::settle()
{
    waitFor([] { return true; }, 2000);
}

QStringList MonitorFixture::commands() const
{
    return sim->commands();
}

void MonitorFixture::clearCommands()
{
    sim->clearReceived();
}

bool MonitorFixture::connectToSim()
{
    window->setAddress(QStringLiteral("127.0.0.1:%1").arg(sim->port()));
    window->connectController();
    if (!link().isConnected())
        return false;
    // Logged in once the password's "CMD$ 0" was answered with a prompt.
    return waitFor([&] {
        return sim->commands().contains(QStringLiteral("CMD$ 0")) && consoleText().endsWith(QLatin1Char('#'));
    });
}

void MonitorFixture::selectTab(const QString &identifier)
{
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabview"));
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->property("identifier").toString() == identifier) {
            tabs->setCurrentIndex(i);
            return;
        }
    }
}

QLineEdit *MonitorFixture::addressField() const
{
    return window->findChild<QLineEdit *>(QStringLiteral("textFieldIpAddress"));
}

QLineEdit *MonitorFixture::timeoutField() const
{
    return window->findChild<QLineEdit *>(QStringLiteral("textFieldTimeOutSec"));
}

QLineEdit *MonitorFixture::statusLine() const
{
    return window->findChild<QLineEdit *>(QStringLiteral("textField2"));
}
