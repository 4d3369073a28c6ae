#include "platform/linux/input/evdev_keyboards.hpp"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <libevdev/libevdev.h>
#include <unistd.h>

namespace pennial {

EvdevKeyboard::EvdevKeyboard(std::string path, int fd, libevdev* device)
    : path_(std::move(path)), fd_(fd), device_(device) {}

EvdevKeyboard::~EvdevKeyboard() {
    libevdev_free(device_);
    ::close(fd_);
}

std::vector<std::unique_ptr<EvdevKeyboard>> openKeyboards(const std::string& folder) {
    std::vector<std::unique_ptr<EvdevKeyboard>> keyboards;
    std::error_code error;
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with("event"))
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        libevdev* device = nullptr;
        if (libevdev_new_from_fd(fd, &device) != 0) {
            ::close(fd);
            continue;
        }
        // Mice, power buttons and lid switches report keys too; a keyboard has letters.
        if (!libevdev_has_event_code(device, EV_KEY, KEY_A) ||
            !libevdev_has_event_code(device, EV_KEY, KEY_ENTER)) {
            libevdev_free(device);
            ::close(fd);
            continue;
        }
        keyboards.push_back(std::unique_ptr<EvdevKeyboard>(new EvdevKeyboard(path, fd, device)));
    }
    return keyboards;
}

} // namespace pennial
