#pragma once
// Runs the Qt event loop in a test: for a while, or until something holds.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <chrono>

namespace pennial::testing {

// Deletes what the views handed over for deletion on a later turn; a test's event turns run
// outside any event loop, where Qt would not.
inline void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline void processEventsFor(std::chrono::milliseconds duration) {
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    } while (clock.elapsed() < duration.count());
}

template <class Condition>
bool processEventsUntil(Condition condition,
                        std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        runDeferredDeletes();
        QThread::msleep(1);
    }
    return true;
}

// Runs what is already queued (zero-delay steps), nothing timed.
inline void processQueuedEvents() {
    QCoreApplication::processEvents();
}

} // namespace pennial::testing
