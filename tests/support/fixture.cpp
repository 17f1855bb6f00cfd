#include "support/fixture.h"

#include "journal/sessionjournal.h"
#include "sim/machine.h"
#include "ui/pagetabs.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

bool connectTo(MainWindow *w, const QString &text)
{
    w->setAddress(text);
    w->findChild<QPushButton *>(QStringLiteral("buttonConnect"))->click();
    return QTest::qWaitFor([w] { return w->link().state() == wire::State::Ready; }, 10000);
}

bool lockShown(MainWindow *w)
{
    auto *sign = w->findChild<QLabel *>(QStringLiteral("labelWatchOnly"));
    return w->findChild<QPushButton *>(QStringLiteral("buttonWatchOnly"))->isChecked() && sign->isVisible() &&
           sign->text() == QLatin1String("WATCH ONLY");
}

sim::Options MonitorFixture::makeOptions()
{
    sim::Options o;
    o.port = 0;
    return o;
}

MonitorFixture::MonitorFixture(const sim::Options &options, bool startSim, const QString &settingsFile,
                               Pages pages)
{
    // Qt caches a parsed settings file per process: make it see the file as changed, as a new run would.
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
    wire::setTraceSink([](const QString &) {});
    window = std::make_unique<MainWindow>(&dialogs, &clock, settings.get());
    if (auto *journal = window->findChild<journal::SessionJournal *>())
        journal->setDirectory(tempDir.filePath(QStringLiteral("sessions")));
    wire::Link::Timing timing = link().timing();
    timing.connect = std::chrono::milliseconds(5000);
    timing.closingPause = std::chrono::milliseconds(0);
    link().setTiming(timing);
    // Every page's controls reachable by name from the start (the window itself builds only the console).
    if (pages == Pages::AllBuilt)
        window->pageTabs().buildAll();
    window->resize(1280, 800);
    window->show();
}

MonitorFixture::~MonitorFixture()
{
    if (window && link().state() != wire::State::Disconnected)
        disconnect();
    window.reset();
    sim.reset();
}

bool MonitorFixture::waitFor(const std::function<bool()> &cond, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    // Wakes the loop now and then: what the simulator's thread records brings no event of its own.
    QTimer wake;
    wake.start(2);
    // deleteLater'd objects go as in the program's loop; a bare processEvents() would keep them alive.
    const auto turn = [](QEventLoop::ProcessEventsFlags flags) {
        QCoreApplication::processEvents(flags);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    while (!deadline.hasExpired()) {
        if (cond())
            return true;
        turn(QEventLoop::WaitForMoreEvents);
    }
    turn(QEventLoop::AllEvents);
    return cond();
}

bool MonitorFixture::run(wire::Link::Action action, int timeoutMs)
{
    // A loop of its own, as the program's: the benchmarks time actions through here.
    auto done = std::make_shared<bool>(false);
    QEventLoop loop;
    QPointer<QEventLoop> waiting = &loop;
    link().enqueue([action = std::move(action), done, waiting]() -> QCoro::Task<> {
        QCoro::Task<> task = action();
        co_await task;
        *done = true;
        if (waiting)
            waiting->quit();
    });
    if (!*done) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return *done;
}

std::optional<QString> MonitorFixture::exchange(const QString &command)
{
    std::optional<QString> reply;
    wire::Link &l = link();
    run([&l, &reply, command]() -> QCoro::Task<> { reply = co_await l.exchange(command); });
    return reply;
}

bool MonitorFixture::stopAtBreakpoint()
{
    sim->withMachine([](sim::Machine &m) {
        m.handleLine(QStringLiteral("10 A=1"));
        m.handleLine(QStringLiteral("20 GOTO 20"));
        m.handleLine(QStringLiteral("BKP 20"));
    });
    link().sendString(QStringLiteral("RUN"));
    const bool stopped = waitFor([this] { return link().bkpMode(); });
    clearCommands();
    return stopped;
}

bool MonitorFixture::connectToSim()
{
    window->setAddress(QStringLiteral("127.0.0.1:%1").arg(sim->port()));
    bool opened = false;
    MainWindow *w = window.get();
    const wire::Link::Action connect = [w, &opened]() -> QCoro::Task<> {
        opened = co_await w->connectController();
    };
    if (!run(connect) || !opened)
        return false;
    // Logged in once "CMD$ 0" was answered and the link took in both prompts of the login.
    return waitFor([&] {
        return sim->commands().contains(QStringLiteral("CMD$ 0")) &&
               consoleText().endsWith(QLatin1Char('#')) && !link().busy();
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
