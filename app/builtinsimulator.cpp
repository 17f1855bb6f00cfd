#include "app/builtinsimulator.h"

#include "app/viewcontroller.h"
#include "sim/server.h"

#include <QAction>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

BuiltInSimulator::BuiltInSimulator(ViewController *vc, QWidget *window, QAction *menuEntry, QObject *parent)
    : QObject(parent), m_vc(vc), m_window(window), m_title(window->windowTitle())
{
    if (menuEntry)
        QObject::connect(menuEntry, &QAction::triggered, this, [this] { connectMonitor(); });
    QObject::connect(vc, &ViewController::connectedChanged, this, &BuiltInSimulator::showTitle);
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
        options.port = 0;
        auto server = std::make_unique<sim::Server>(options);
        // Nobody reads back what a demonstration sent.
        server->setRecording(false);
        if (!server->start()) {
            m_vc->dialogs()->alert(QStringLiteral("The built-in simulator could not start."),
                                   QStringLiteral("No loopback port was free."));
            return false;
        }
        m_server = std::move(server);
    }
    m_vc->userAction([this] {
        if (m_vc->isConnected())
            m_vc->disconnect();
        m_vc->showStandInAddress(address());
        m_vc->connect();
    });
    return true;
}

void BuiltInSimulator::showTitle(bool connected)
{
    const bool onSimulator = connected && m_server && m_vc->Host == address();
    m_window->setWindowTitle(onSimulator ? m_title + QStringLiteral(" \u2014 built-in simulator") : m_title);
}

void startFromCommandLine(const app::CommandLine &commandLine, ViewController &vc, BuiltInSimulator &builtIn)
{
    if (commandLine.simulator) {
        QTimer::singleShot(0, &builtIn, [&builtIn] { builtIn.connectMonitor(); });
    } else if (!commandLine.connectTo.isEmpty()) {
        vc.textFieldIpAddress->setText(commandLine.connectTo);
        QTimer::singleShot(0, &vc, [&vc] { vc.userAction([&vc] { vc.connect(); }); });
    }
}
