// The controller simulator that ships with the monitor, run inside this
// process on a free loopback port: someone without a controller at hand can
// still try every tab. The File menu entry and --simulator both land here.
#pragma once

#include "app/commandline.h"

#include <QObject>
#include <QString>
#include <memory>

class MainWindow;

namespace sim {
class Server;
}

class BuiltInSimulator : public QObject
{
    Q_OBJECT
public:
    // The window's File menu entry connects to the simulator when triggered.
    // It listens on loopback `port`; 0 (the program's choice) takes a free one.
    explicit BuiltInSimulator(MainWindow &window, QObject *parent = nullptr, quint16 port = 0);
    ~BuiltInSimulator() override;

    // Starts the simulator (the first time) and connects the monitor to it,
    // leaving any other controller first. False when it cannot listen.
    bool connectMonitor();
    // "127.0.0.1:PORT" once started, else empty.
    QString address() const;

private:
    void showTitle(bool connected);

    MainWindow &m_window;
    quint16 m_port;
    std::unique_ptr<sim::Server> m_server;
};

// Puts the command line's choices into effect: --watch-only locks the window
// at once, before anything could be sent; as soon as the event loop runs,
// that is once the window shows, --connect fills the address field and
// connects, --simulator connects to the built-in simulator.
void startFromCommandLine(const app::CommandLine &commandLine, MainWindow &window, BuiltInSimulator &builtIn);
