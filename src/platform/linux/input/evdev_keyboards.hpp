#pragma once
// The keyboards among the input devices this user may read (/dev/input/event*, readable by the
// "input" group): where the display server does not hand other applications' keys to us (Wayland),
// the devices themselves are the only place to see them.

#include <memory>
#include <string>
#include <vector>

struct libevdev;

namespace pennial {

class EvdevKeyboard {
public:
    ~EvdevKeyboard();
    EvdevKeyboard(const EvdevKeyboard&) = delete;
    EvdevKeyboard& operator=(const EvdevKeyboard&) = delete;

    int fd() const { return fd_; }
    libevdev* device() const { return device_; }
    const std::string& path() const { return path_; }

private:
    friend std::vector<std::unique_ptr<EvdevKeyboard>> openKeyboards(const std::string& folder);
    EvdevKeyboard(std::string path, int fd, libevdev* device);

    std::string path_;
    int fd_;
    libevdev* device_;
};

// Every device under folder that has letter keys and a Return key and can be read, opened
// non-blocking; none when the user may read none.
std::vector<std::unique_ptr<EvdevKeyboard>> openKeyboards(const std::string& folder = "/dev/input");

} // namespace pennial
