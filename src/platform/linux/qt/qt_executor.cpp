#include "platform/linux/qt/qt_executor.hpp"

namespace pennial {

QtExecutionContext::QtExecutionContext() : receiver_(std::make_unique<QObject>()) {}

QtExecutionContext::~QtExecutionContext() {
    close();
}

void QtExecutionContext::close() {
    if (!receiver_)
        return;
    // Stop the services' threads first (a timer's may still post into the receiver), then drop
    // the queued work while the services its handlers may own timers of still exist.
    shutdown();
    receiver_.reset();
    destroy();
}

QtExecutor QtExecutionContext::get_executor() noexcept {
    return QtExecutor(*this);
}

} // namespace pennial
