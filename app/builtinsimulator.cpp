#include "app/builtinsimulator.h"

#include "app/mainwindow.h"
#include "core/dialogs.h"
#include "core/watchlock.h"
#include "link/link.h"
#include "sim/server.h"

#include <QAction>
#include <QPointer>
#include <QTimer>

BuiltInSimulator::BuiltInSimulator(MainWindow &window, QObject *parent, quint16 port)
    : QObject(parent), m_window(window), m_port(port)
{
    if (QAction *menuEntry = window.simulatorAction())
        QObject::connect(menuEntry, &QAction::triggered, this, [this] { connectMonitor(); });
    QObject::connect(&window.link(), &wire::Link::stateChanged, this,
                     [this] { showTitle(wire::isUp(m_window.link().state())); });
}

// Joins the simulator's thread; the monitor has said goodbye by then.
BuiltInSimulator::~BuiltInSimulator() = default;

QString BuiltInSimulator::address() const
{
    return m_server ? QStringLiteral("127.0.0.1:%1").arg(m_server->port()) : QString();
}

bool BuiltInSimulator::connectMonitor()
{
    if (!m_server) {
        sim::Options options;
        options.port = m_port;
        // Any local user could reach the port; only the monitor may.
        options.thisProcessOnly = true;
        auto server = std::make_unique<sim::Server>(options);
        // Nobody reads back what a demonstration sent.
        server->setRecording(false);
        if (!server->start()) {
            m_window.dialogs().alert(QStringLiteral("The built-in simulator could not start."),
                                     m_port == 0 ? QStringLiteral("No loopback port was free.")
                                                 : QStringLiteral("Loopback port %1 is taken.").arg(m_port));
            return false;
        }
        m_server = std::move(server);
    }
    // The window may drop its simulator while this waits in the queue or
    // while the old link says goodbye: the connect then ends there.
    MainWindow *window = &m_window;
    window->link().enqueue([window, alive = QPointer<BuiltInSimulator>(this)]() -> QCoro::Task<> {
        if (alive && window->link().state() != wire::State::Disconnected)
            co_await window->link().close();
        if (!alive)
            co_return;
        window->showStandInAddress(alive->address());
        const bool opened = co_await window->connectController();
        Q_UNUSED(opened);
    });
    return true;
}

void BuiltInSimulator::showTitle(bool connected)
{
    const bool onSimulator = connected && m_server && m_window.link().address() == address();
    m_window.setTitleNote(onSimulator ? QStringLiteral("built-in simulator") : QString());
}

void startFromCommandLine(const app::CommandLine &commandLine, MainWindow &window, BuiltInSimulator &builtIn)
{
    if (commandLine.watchOnly)
        window.watchLock().lock();
    if (commandLine.simulator) {
        QTimer::singleShot(0, &builtIn, [&builtIn] { builtIn.connectMonitor(); });
    } else if (!commandLine.connectTo.isEmpty()) {
        // A name stays a name in the field: connecting looks it up again.
        window.setAddress(commandLine.connectName.isEmpty() ? commandLine.connectTo
                                                            : commandLine.connectName);
        QTimer::singleShot(0, &window, [&window] {
            window.link().enqueue([&window]() -> QCoro::Task<> {
                const bool opened = co_await window.connectController();
                Q_UNUSED(opened);
            });
        });
    }
}
