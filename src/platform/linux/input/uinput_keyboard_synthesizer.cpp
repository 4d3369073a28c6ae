#include "platform/linux/input/uinput_keyboard_synthesizer.hpp"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

namespace pennial {

namespace {
constexpr unsigned keysUsed[] = {KEY_LEFTCTRL, KEY_A, KEY_V};
} // namespace

std::unique_ptr<UinputKeyboardSynthesizer> UinputKeyboardSynthesizer::create(const char* path) {
    const int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    libevdev* description = libevdev_new();
    libevdev_set_name(description, "Pennial virtual keyboard");
    libevdev_enable_event_type(description, EV_KEY);
    for (auto code : keysUsed)
        libevdev_enable_event_code(description, EV_KEY, code, nullptr);
    libevdev_uinput* device = nullptr;
    // The descriptor stays ours: it is closed once the device is destroyed.
    const int status = libevdev_uinput_create_from_device(description, fd, &device);
    libevdev_free(description);
    if (status != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<UinputKeyboardSynthesizer>(new UinputKeyboardSynthesizer(device));
}

UinputKeyboardSynthesizer::~UinputKeyboardSynthesizer() {
    const int fd = libevdev_uinput_get_fd(device_);
    libevdev_uinput_destroy(device_);
    ::close(fd);
}

void UinputKeyboardSynthesizer::key(unsigned code, bool pressed) {
    libevdev_uinput_write_event(device_, EV_KEY, code, pressed ? 1 : 0);
    libevdev_uinput_write_event(device_, EV_SYN, SYN_REPORT, 0);
}

void UinputKeyboardSynthesizer::post(Shortcut shortcut) {
    // The compositor merges every keyboard's modifiers: keys the user still holds on another
    // keyboard cannot be released from here.
    const bool extend = shortcut == Shortcut::extendSelection;
    const unsigned modifier = extend ? KEY_LEFTSHIFT : KEY_LEFTCTRL;
    const unsigned letter = extend ? KEY_RIGHT : shortcut == Shortcut::selectAll ? KEY_A : KEY_V;
    std::lock_guard lock(mutex_);
    key(modifier, true);
    key(letter, true);
    key(letter, false);
    key(modifier, false);
}

} // namespace pennial
