#pragma once
// The async runtime: the main executor, the shared pool the actors run on, and actor strands.

#include "base/hop.hpp"

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/strand.hpp>
#include <asio/thread_pool.hpp>
#include <asio/use_awaitable.hpp>

namespace pennial {

using Executor = asio::any_io_executor;
template <class T> using Awaitable = asio::awaitable<T>;

// The pool every actor's strand runs on; created on first use and kept until releaseSharedPool.
asio::thread_pool& sharedPool();
// One thread for the text monitor's polling loop: its timer and the reads of an idle poll then
// wake that thread alone (on the shared pool every timer wakes both of its threads). Its thread
// may run the shared pool's blocking work inline, as the pool's own threads do.
asio::thread_pool& pollingPool();
// Whether the calling thread may run work meant for the shared pool at once, rather than hop.
bool mayRunSharedPoolWorkHere();
// The last steps of quitting, once every task has ended and every service is gone. First the
// work running now finishes and the threads are joined (the polling pool's and the resting waits'
// too); the pools stay, so that work still queued elsewhere (the main executor's) and holding
// their executors can be dropped. Then the pools go, destroying the work that never ran.
void stopSharedPool();
void releaseSharedPool();

// An actor owns a strand: its operations run one at a time on it and are awaited by callers, who
// resume on their own executor. Like any actor, it is re-entrant at every co_await.
class Actor {
public:
    explicit Actor(Executor base = sharedPool().get_executor());
    virtual ~Actor() = default;
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;

    const Executor& executor() const { return strand_; }

protected:
    // Runs body on the actor's strand and resumes the caller on its own executor; the caller's
    // cancellation reaches body on the strand.
    template <class T> Awaitable<T> onStrand(Awaitable<T> body) const {
        return awaitOn(strand_, std::move(body));
    }

private:
    Executor strand_;
};

} // namespace pennial
