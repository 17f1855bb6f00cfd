// The server's public face: the simulator thread, calls handed over to it,
// and the record of what clients sent.
#include "sim/server.h"

#include "core/handoff.h"
#include "sim/serverworker.h"

#include <chrono>

namespace sim {

Server::Server(const Options &opt) : m_opt(opt)
{
    m_thread.setObjectName(QStringLiteral("quorin-sim"));
    m_worker = new ServerWorker(this);
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

void Server::Thread::run()
{
    m_owner->m_worker->begin();
    exec();
    // The thread's last touch of the server: the destructor takes over from
    // here once wait() has returned (a join through QtCore, which
    // ThreadSanitizer cannot see).
    core::handOff(&m_owner->m_threadEnded);
}

Server::~Server()
{
    if (m_thread.isRunning()) {
        ServerWorker *w = m_worker;
        QThread *t = &m_thread;
        runOnThread([w, t] {
            w->shutdown();
            t->quit();
        });
        m_thread.wait();
    }
    core::takeOver(&m_threadEnded); // see the end of Thread::run()
    delete m_worker;
}

void Server::runOnThread(const std::function<void()> &fn)
{
    if (QThread::currentThread() == &m_thread) {
        fn();
        return;
    }
    Call call{&fn, false};
    std::unique_lock<std::mutex> lock(m_mutex);
    m_calls.push_back(&call);
    m_callDone.wait(lock, [&call] { return call.done; });
}

void Server::runPendingCalls()
{
    for (;;) {
        Call *call = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_calls.empty())
                return;
            call = m_calls.front();
            m_calls.pop_front();
        }
        (*call->fn)();
        {
            // The caller may return (and drop call) as soon as this is set.
            std::lock_guard<std::mutex> lock(m_mutex);
            call->done = true;
        }
        m_callDone.notify_all();
    }
}

bool Server::start()
{
    const quint16 wanted = options().port;
    bool ok = false;
    quint16 actual = 0;
    ServerWorker *w = m_worker;
    runOnThread([w, wanted, &ok, &actual] { ok = w->listen(wanted, &actual); });
    if (ok) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_port = actual;
    }
    return ok;
}

quint16 Server::port() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port;
}

QByteArray Server::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

QStringList Server::commands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

void Server::clearReceived()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
    m_commands.clear();
}

int Server::connectionCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

void Server::withMachine(const std::function<void(Machine &)> &fn)
{
    ServerWorker *w = m_worker;
    runOnThread([w, &fn] {
        fn(w->machine());
        w->deliverAsync();
    });
}

void Server::setOptions(const Options &opt)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const quint16 port = m_opt.port;
        m_opt = opt;
        m_opt.port = port;
    }
    ServerWorker *w = m_worker;
    runOnThread([w] { w->optionsChanged(); });
}

Options Server::options() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_opt;
}

bool Server::waitForCommand(const QString &line, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_commandArrived.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                     [this, &line] { return m_commands.contains(line); });
}

void Server::setRecording(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recording = on;
}

void Server::noteReceived(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_recording)
        // Copied, not shared: the record must not share a buffer with the
        // thread's own bytes, which go out of scope outside the lock.
        m_received.append(bytes.constData(), bytes.size());
}

void Server::noteCommand(const QString &line)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_recording)
            m_commands << line;
    }
    m_commandArrived.notify_all();
}

void Server::noteConnection()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_connections;
}

} // namespace sim
