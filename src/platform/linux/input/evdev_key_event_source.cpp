#include "platform/linux/input/evdev_key_event_source.hpp"

#include "base/log.hpp"
#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/input/evdev_keyboards.hpp"
#include "platform/linux/input/xkb_key_translator.hpp"

#include <libevdev/libevdev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pennial {

// Reads the keyboards on a thread of its own until it is destroyed.
class EvdevKeyEventSource::Reader {
public:
    using Deliver = std::function<void(KeyDownEvent)>;

    Reader(std::vector<std::unique_ptr<EvdevKeyboard>> keyboards,
           std::unique_ptr<XkbKeyTranslator> translator, Deliver deliver)
        : keyboards_(std::move(keyboards)), translator_(std::move(translator)),
          deliver_(std::move(deliver)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          thread_([this] { run(); }) {}

    ~Reader() {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
        thread_.join();
        ::close(wake_);
    }

private:
    void run() {
        std::vector<pollfd> fds;
        fds.push_back({wake_, POLLIN, 0});
        for (const auto& keyboard : keyboards_)
            fds.push_back({keyboard->fd(), POLLIN, 0});
        for (;;) {
            if (::poll(fds.data(), fds.size(), -1) < 0)
                continue;
            if (fds[0].revents & POLLIN)
                return;
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL))
                    fds[i].fd = -1; // unplugged: poll ignores it from now on
                else if (fds[i].revents & POLLIN)
                    drain(keyboards_[i - 1]->device());
            }
        }
    }

    void drain(libevdev* device) {
        input_event event{};
        int status = libevdev_next_event(device, LIBEVDEV_READ_FLAG_NORMAL, &event);
        while (status == LIBEVDEV_READ_STATUS_SUCCESS || status == LIBEVDEV_READ_STATUS_SYNC) {
            // After dropped events the device's state is replayed; take it as it comes.
            const auto flag = status == LIBEVDEV_READ_STATUS_SYNC ? LIBEVDEV_READ_FLAG_SYNC
                                                                  : LIBEVDEV_READ_FLAG_NORMAL;
            if (event.type == EV_KEY)
                keyChanged(static_cast<unsigned>(event.code), event.value);
            status = libevdev_next_event(device, flag, &event);
        }
    }

    void keyChanged(unsigned code, int value) {
        // 1 press, 2 autorepeat, 0 release.
        auto down =
            value == 2 ? translator_->keyRepeated(code) : translator_->keyChanged(code, value == 1);
        if (down)
            deliver_(std::move(*down));
    }

    std::vector<std::unique_ptr<EvdevKeyboard>> keyboards_;
    std::unique_ptr<XkbKeyTranslator> translator_;
    Deliver deliver_;
    int wake_;
    std::thread thread_; // last: it reads everything above
};

EvdevKeyEventSource::EvdevKeyEventSource(Executor mainExecutor, std::string folder)
    : main_(std::move(mainExecutor)), folder_(std::move(folder)) {}

EvdevKeyEventSource::~EvdevKeyEventSource() {
    stopObserving();
}

bool EvdevKeyEventSource::isAvailable(const std::string& folder) {
    return !openKeyboards(folder).empty();
}

bool EvdevKeyEventSource::startObserving(std::function<void(const KeyDownEvent&)> onKeyDown) {
    if (relay_) {
        relay_->setHandler(std::move(onKeyDown));
        return true;
    }
    auto keyboards = openKeyboards(folder_);
    auto translator = XkbKeyTranslator::fromEnvironment();
    if (keyboards.empty() || !translator)
        return false;
    relay_.emplace(main_, std::move(onKeyDown));
    reader_ = std::make_unique<Reader>(std::move(keyboards), std::move(translator),
                                       [relay = *relay_](KeyDownEvent event) {
                                           DesktopActivity::instance().keyPressed();
                                           relay.post(std::move(event));
                                       });
    return true;
}

void EvdevKeyEventSource::stopObserving() {
    reader_.reset();
    if (relay_)
        relay_->close();
    relay_.reset();
}

} // namespace pennial
