#pragma once
// Xlib connections of our own, apart from the toolkit's: one for each facility, so a grab, a
// selected event or a synthesised key never mixes with the windows' traffic.

#include <X11/Xlib.h>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/post.hpp>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace pennial {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

// The display named by $DISPLAY, or null when there is none to connect to.
DisplayHandle openDisplay();

// A connection whose events are read, and whose requests are made, on a thread of its own. Xlib
// calls for the display happen only there: through call(), or in the event handler.
class X11Connection {
public:
    using EventHandler = std::function<void(Display*, XEvent&)>;

    // Null when no display can be opened. The handler runs on the connection's thread.
    static std::unique_ptr<X11Connection> open(EventHandler onEvent);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // Runs work(display) on the connection's thread and waits for its result.
    template <class Work> std::invoke_result_t<Work&, Display*> call(Work work) {
        using Result = std::invoke_result_t<Work&, Display*>;
        if (thread_.get_id() == std::this_thread::get_id())
            return work(display_.get());
        std::packaged_task<Result()> task([&] { return work(display_.get()); });
        std::future<Result> result = task.get_future();
        asio::post(io_, [this, &task] {
            task();
            // Replies read during the work may have brought events along.
            dispatchQueuedEvents();
        });
        return result.get();
    }

private:
    X11Connection(DisplayHandle display, EventHandler onEvent);
    void awaitEvents();
    void dispatchQueuedEvents();

    DisplayHandle display_;
    EventHandler onEvent_;
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    asio::posix::stream_descriptor socket_;
    std::thread thread_;
};

// Collects the X errors of one display while it lives, instead of Xlib's default handler ending
// the process: a refused request (another client's grab, say) becomes something to look at.
// Use it on the thread that makes the display's requests; one trap at a time in the process.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits until the server has answered every request made so far, then tells whether one of
    // them failed with this error code (BadAccess, say).
    bool caught(unsigned char errorCode);

private:
    static int handleError(Display* display, XErrorEvent* error);

    std::unique_lock<std::mutex> lock_;
    Display* display_;
    std::vector<unsigned char> errorCodes_;
    XErrorHandler previous_;
};

} // namespace pennial
