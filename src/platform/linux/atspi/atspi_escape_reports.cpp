#include "platform/linux/atspi/atspi_escape_reports.hpp"

#include "platform/linux/atspi/atspi_thread.hpp"

#include <asio/post.hpp>
#include <atspi/atspi.h>
#include <mutex>

namespace pennial {

namespace {

constexpr guint escapeKeysym = 0xff1b;

// The locks change nothing about the key; each combination is a listener's mask of its own.
constexpr AtspiKeyMaskType lockMasks[] = {
    0, 1 << ATSPI_MODIFIER_SHIFTLOCK, 1 << ATSPI_MODIFIER_NUMLOCK,
    (1 << ATSPI_MODIFIER_SHIFTLOCK) | (1 << ATSPI_MODIFIER_NUMLOCK)};

} // namespace

struct AtspiEscapeReports::Shared {
    explicit Shared(Executor main) : main(std::move(main)) {}

    Executor main;
    std::mutex mutex; // guards onEscape
    std::function<void()> onEscape;
    AtspiDeviceListener* listener = nullptr; // the accessibility thread's
    bool registered = false;                 // the accessibility thread's

    static gboolean keyEvent(AtspiDeviceEvent* event, void* data) {
        auto* self = static_cast<Shared*>(data);
        if (event->type == ATSPI_KEY_PRESSED_EVENT && event->id == escapeKeysym)
            // Read again on main: a stop meanwhile drops the key.
            asio::post(self->main, [weak = self->weak] {
                auto shared = weak.lock();
                if (!shared)
                    return;
                std::function<void()> handler;
                {
                    std::lock_guard lock(shared->mutex);
                    handler = shared->onEscape;
                }
                if (handler)
                    handler();
            });
        return FALSE; // observed, never taken
    }

    void setRegistered(bool wanted) {
        if (wanted == registered)
            return;
        if (!listener)
            listener = atspi_device_listener_new(&Shared::keyEvent, this, nullptr);
        constexpr AtspiKeyEventMask presses = 1 << ATSPI_KEY_PRESSED;
        for (auto mask : lockMasks) {
            if (wanted)
                atspi_register_keystroke_listener(listener, nullptr, mask, presses,
                                                  ATSPI_KEYLISTENER_NOSYNC, nullptr);
            else
                atspi_deregister_keystroke_listener(listener, nullptr, mask, presses, nullptr);
        }
        registered = wanted;
    }

    std::weak_ptr<Shared> weak;
};

AtspiEscapeReports::AtspiEscapeReports(Executor main)
    : shared_(std::make_shared<Shared>(std::move(main))) {
    shared_->weak = shared_;
}

AtspiEscapeReports::~AtspiEscapeReports() {
    stop();
    // The listener goes on the thread that uses it, after the deregistration queued above.
    AtspiThread::instance().post([shared = shared_] {
        if (shared->listener)
            g_object_unref(shared->listener);
        shared->listener = nullptr;
    });
}

void AtspiEscapeReports::start(std::function<void()> onEscape) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->onEscape = std::move(onEscape);
    }
    AtspiThread::instance().post([shared = shared_] { shared->setRegistered(true); });
}

void AtspiEscapeReports::stop() {
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->onEscape)
            return;
        shared_->onEscape = nullptr;
    }
    AtspiThread::instance().post([shared = shared_] { shared->setRegistered(false); });
}

} // namespace pennial
