#include "platform/linux/session/quit_signals.hpp"

#include "base/log.hpp"

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace pennial {

namespace {

constexpr int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> wakeDescriptor{-1};

void onQuitSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    if (const int descriptor = wakeDescriptor.load(); descriptor >= 0) [[maybe_unused]]
        auto written = ::write(descriptor, &number, 1);
    errno = saved;
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> quit) : quit_(std::move(quit)) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error(std::string("cannot watch the quit signals: ") +
                                 std::strerror(errno));
    wakeDescriptor = wake_[1];
    notifier_ = std::make_unique<QSocketNotifier>(wake_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { receive(); });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : quitSignals)
        ::sigaction(signal, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    for (int signal : quitSignals)
        ::signal(signal, SIG_DFL);
    wakeDescriptor = -1;
    notifier_.reset();
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void QuitSignals::receive() {
    unsigned char number = 0;
    while (::read(wake_[0], &number, 1) == 1) {
        logf("👋 [Pennial] Quitting on {}", signalName(number));
        if (quit_)
            quit_();
    }
}

} // namespace pennial
