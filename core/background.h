// Work that runs on Qt's thread pool, away from the window, handed over so
// that ThreadSanitizer sees it (core/handoff.h): the job takes over before it
// reads anything it was given, and hands its result back before the waiting
// side reads it.
#pragma once

#include "core/handoff.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QPromise>
#include <QRunnable>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <optional>

namespace core {

namespace detail {
class PoolJob : public QRunnable
{
public:
    explicit PoolJob(std::function<void()> job) : m_job(std::move(job)) {}
    void run() override
    {
        takeOverInPool();
        execute();
        handOffToPool();
    }

private:
    // Apart from run(), so that nothing of the job is read before the
    // take-over.
    Q_NEVER_INLINE void execute() { m_job(); }
    std::function<void()> m_job;
};
} // namespace detail

// Starts `job` on the pool. A job that tells another thread it is done (a
// future, a queued call) calls handOffToPool() right before; whoever then
// reads what it wrote calls takeOverInPool() first.
inline void startInPool(std::function<void()> job)
{
    auto *runnable = new detail::PoolJob(std::move(job));
    handOffToPool(); // after the job's last write here
    QThreadPool::globalInstance()->start(runnable);
}

// Runs `job` on the pool and resumes with its result on the calling thread.
template <typename T> QCoro::Task<T> inBackground(std::function<T()> job)
{
    struct State
    {
        std::function<T()> job;
        std::optional<T> result;
        QPromise<void> done;
    };
    auto state = std::make_shared<State>();
    state->job = std::move(job);
    state->done.start();
    QFuture<void> finished = state->done.future();
    startInPool([state] {
        state->result = state->job();
        handOffToPool(); // before the future says it is done
        state->done.finish();
    });
    co_await finished;
    takeOverInPool();
    co_return std::move(*state->result);
}

} // namespace core
