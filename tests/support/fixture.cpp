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
    window = std::make_unique<MainWindow>(&dialogs, &clock);
    if (auto *journal = window->findChild<journal::SessionJournal *>())
        journal->setDirectory(tempDir.filePath(QStringLiteral("sessions")));
    vc = std::make_unique<ViewController>(window.get(), &dialogs, settings.get(), &clock, &delegate);
    link::setTraceSink([](const QString &) {});
    vc->link().setDisconnectPause(std::chrono::milliseconds(0));
    delegate.attach(window.get(), window->menuOpenFile(), window->menuAbout());
    vc->viewDidLoad();
    window->resize(1280, 800);
    window->show();
}

MonitorFixture::~MonitorFixture()
{
    if (vc && vc->isConnected())
        vc->disconnect();
    vc.reset();
    window.reset();
    sim.reset();
}

bool MonitorFixture::waitFor(const std::function<bool()> &cond, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (vc->pendingDisplays() == 0 && cond())
            return true;
        QThread::msleep(2);
    }
    QCoreApplication::processEvents();
    return vc->pendingDisplays() == 0 && cond();
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
    vc->textFieldIpAddress->setText(QStringLiteral("127.0.0.1:%1").arg(sim->port()));
    vc->connect();
    if (!vc->isConnected())
        return false;
    // Logged in once the password's "CMD$ 0" was answered with a prompt.
    return waitFor([&] {
        return sim->commands().contains(QStringLiteral("CMD$ 0")) &&
               vc->consoleText().endsWith(QLatin1Char('#'));
    });
}

void MonitorFixture::selectTab(const QString &identifier)
{
    for (int i = 0; i < vc->tabview->count(); ++i) {
        if (vc->tabview->widget(i)->property("identifier").toString() == identifier) {
            vc->tabview->setCurrentIndex(i);
            return;
        }
    }
}
