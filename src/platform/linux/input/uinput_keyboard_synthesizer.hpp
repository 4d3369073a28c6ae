#pragma once
// Shortcuts synthesised through a virtual keyboard of our own (/dev/uinput), which the compositor
// treats as any other keyboard: the way to reach native Wayland applications, where the display
// server takes synthetic keys from no client.

#include "platform/keyboard.hpp"

#include <memory>
#include <mutex>

struct libevdev_uinput;

namespace pennial {

class UinputKeyboardSynthesizer : public KeyboardSynthesizer {
public:
    // Null when the virtual keyboard cannot be made (no /dev/uinput, or not writable by us).
    static std::unique_ptr<UinputKeyboardSynthesizer> create(const char* path = "/dev/uinput");
    ~UinputKeyboardSynthesizer() override;

    void post(Shortcut shortcut) override;

private:
    explicit UinputKeyboardSynthesizer(libevdev_uinput* device) : device_(device) {}
    void key(unsigned code, bool pressed);

    std::mutex mutex_; // one shortcut at a time
    libevdev_uinput* device_;
};

} // namespace pennial
