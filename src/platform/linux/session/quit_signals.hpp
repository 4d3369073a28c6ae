#pragma once
// SIGTERM (what a logout sends), SIGINT and SIGHUP end the program as its Quit item does: the
// handler only wakes the main thread, which then asks for the same orderly quit (the clipboard
// given back, the saves finished) instead of dying by the signal's default action.

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace pennial {

class QuitSignals {
public:
    // quit runs on the thread that built this object, once per signal received.
    explicit QuitSignals(std::function<void()> quit);
    // The signals take their default action again.
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    void receive();

    int wake_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> quit_;
};

} // namespace pennial
