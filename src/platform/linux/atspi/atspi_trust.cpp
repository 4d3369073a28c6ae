#include "platform/linux/atspi/atspi_trust.hpp"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <cstdint>
#include <gio/gio.h>
#include <mutex>
#include <thread>

namespace pennial {

namespace {

constexpr const char* launcherName = "org.a11y.Bus";
constexpr const char* launcherPath = "/org/a11y/bus";
constexpr const char* statusInterface = "org.a11y.Status";
constexpr const char* enabledProperty = "IsEnabled";
constexpr int replyTimeoutMs = 1000;
// The user interface's thread waits no longer than this for an answer: past it, the last answer
// stands. Other threads may wait for the bus's own time-out.
constexpr std::chrono::milliseconds userInterfaceWait{25};
constexpr std::chrono::milliseconds otherThreadWait{replyTimeoutMs + 250};

// A reference to the session bus connection GIO shares in the process; null without one.
GDBusConnection* sessionBus() {
    return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
}

std::optional<bool> readEnabled() {
    GDBusConnection* bus = sessionBus();
    if (!bus)
        return std::nullopt;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, launcherName, launcherPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", statusInterface, enabledProperty), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, replyTimeoutMs, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return std::nullopt;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    std::optional<bool> enabled;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
        enabled = g_variant_get_boolean(value);
    g_variant_unref(value);
    g_variant_unref(reply);
    return enabled;
}

bool writeEnabled() {
    GDBusConnection* bus = sessionBus();
    if (!bus)
        return false;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, launcherName, launcherPath, "org.freedesktop.DBus.Properties", "Set",
        g_variant_new("(ssv)", statusInterface, enabledProperty, g_variant_new_boolean(TRUE)),
        nullptr, G_DBUS_CALL_FLAGS_NONE, replyTimeoutMs, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

std::chrono::milliseconds allowedWait() {
    auto* application = QCoreApplication::instance();
    const bool userInterface = application && QThread::currentThread() == application->thread();
    return userInterface ? userInterfaceWait : otherThreadWait;
}

// The switch is read and written on a thread of its own, so that a launcher slow to answer holds
// up no caller longer than it allows. Requests that come while one is out share its answer.
class TrustReader {
public:
    static TrustReader& instance() {
        // Never destroyed: its thread may be waiting on the bus when the process exits.
        static TrustReader* reader = new TrustReader;
        return *reader;
    }

    std::optional<bool> enabled(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        const auto asked = ++readsAsked_;
        work_.notify_one();
        answered_.wait_for(lock, wait, [&] { return readsDone_ >= asked; });
        return enabled_;
    }

    bool enable(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        const auto asked = ++writesAsked_;
        work_.notify_one();
        return answered_.wait_for(lock, wait, [&] { return writesDone_ >= asked; }) && written_;
    }

private:
    TrustReader() {
        std::thread([this] { run(); }).detach();
    }

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock,
                       [&] { return readsAsked_ > readsDone_ || writesAsked_ > writesDone_; });
            if (writesAsked_ > writesDone_) {
                const auto serving = writesAsked_;
                lock.unlock();
                const bool written = writeEnabled();
                lock.lock();
                written_ = written;
                writesDone_ = serving;
                if (written)
                    enabled_ = true;
            } else {
                const auto serving = readsAsked_;
                lock.unlock();
                const auto enabled = readEnabled();
                lock.lock();
                enabled_ = enabled;
                readsDone_ = serving;
            }
            answered_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable answered_;
    std::uint64_t readsAsked_ = 0;
    std::uint64_t readsDone_ = 0;
    std::uint64_t writesAsked_ = 0;
    std::uint64_t writesDone_ = 0;
    std::optional<bool> enabled_;
    bool written_ = false;
};

} // namespace

std::optional<bool> atspiAccessibilityEnabled() {
    return TrustReader::instance().enabled(allowedWait());
}

bool enableAtspiAccessibility() {
    return TrustReader::instance().enable(allowedWait());
}

} // namespace pennial
