#pragma once
// How work running off the main thread reaches it: a posted function runs on main unless the link
// was closed first. Closing it (on main, while main still runs) guarantees that nothing more
// arrives there, so work still under way when its owner goes never touches what is gone.

#include "base/runtime.hpp"

#include <asio/post.hpp>
#include <functional>
#include <memory>
#include <mutex>

namespace pennial {

class MainThreadLink : public std::enable_shared_from_this<MainThreadLink> {
public:
    explicit MainThreadLink(Executor main) : main_(std::move(main)) {}

    // From any thread.
    void post(std::function<void()> function) {
        std::lock_guard lock(mutex_);
        if (!open_)
            return;
        asio::post(main_, [link = shared_from_this(), function = std::move(function)] {
            if (link->isOpen())
                function();
        });
    }
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    bool isOpen() const {
        std::lock_guard lock(mutex_);
        return open_;
    }

private:
    Executor main_;
    mutable std::mutex mutex_;
    bool open_ = true;
};

} // namespace pennial
