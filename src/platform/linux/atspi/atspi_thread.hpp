#pragma once
// The one thread every libatspi call runs on (the library is not thread-safe and keeps its state
// per process), with a GLib main context of its own that delivers the accessibility bus's messages
// and events. Other threads hand it work and wait for the result.

#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

typedef struct _GMainContext GMainContext;
typedef struct _AtspiAccessible AtspiAccessible;

namespace pennial {

class AtspiThread {
public:
    // Started on first use and kept for the life of the process.
    static AtspiThread& instance();

    AtspiThread(const AtspiThread&) = delete;
    AtspiThread& operator=(const AtspiThread&) = delete;

    // Whether the library reached the accessibility bus; without it nothing can be read.
    bool connected() const { return connected_; }
    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

    // Queues work behind what the thread already holds. Any thread.
    void post(std::function<void()> work);
    // Queues work once the delay has passed. Any thread.
    void postAfter(std::chrono::milliseconds delay, std::function<void()> work);

    // Runs work on the thread and waits for its result (at once when already on it).
    template <class Work> std::invoke_result_t<Work&> call(Work work) {
        using Result = std::invoke_result_t<Work&>;
        if (isCurrent())
            return work();
        std::packaged_task<Result()> task(std::move(work));
        auto result = task.get_future();
        post([&task] { task(); });
        return result.get();
    }

    // The library opens a direct connection to each application it talks to, and hands it to the
    // process's default main context: the user interface's thread would then wake on (and handle)
    // the application's messages. Moves the connection of the accessible's application to this
    // thread, where every other message of the library is handled. This thread only.
    void keepConnectionHere(AtspiAccessible* accessible);
    // The same for every application the library knows (a look through the desktop's list, which
    // asks nothing). After each piece of work: any of it may have met a new application.
    void keepConnectionsHere();

private:
    AtspiThread();
    void run(std::promise<void>& started);
    static int dispatchPending(void* self);
    void drain();

    GMainContext* context_ = nullptr;
    bool connected_ = false;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    bool scheduled_ = false; // guarded by mutex_: a dispatch is on its way
    bool draining_ = false;  // the thread's own
    // The connections moved, with their application: a connection is moved once.
    std::map<const void*, std::string> movedConnections_; // the thread's own
    std::thread thread_;
};

} // namespace pennial
