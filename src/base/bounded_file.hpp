#pragma once
// Reads a small file of our own whole, refusing what is not one: a FIFO or device would block the
// read forever, a huge file would cost seconds and gigabytes to parse.

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

namespace pennial {

class FileReadError : public std::runtime_error {
public:
    enum class Reason {
        missing,    // nothing at the path
        unreadable, // the system refused or failed the read
        notRegular, // a folder, FIFO, socket or device
        tooLarge,
    };
    FileReadError(Reason reason, const std::string& message)
        : std::runtime_error(message), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

inline constexpr std::size_t maxSettingsFileBytes = 16 * 1024 * 1024;

// The whole content of a regular file of at most maxBytes; never blocks on a FIFO. Follows
// symbolic links. info, when given, receives the status of the file that was read.
std::string readRegularFile(const std::filesystem::path& path,
                            std::size_t maxBytes = maxSettingsFileBytes,
                            struct stat* info = nullptr);

} // namespace pennial
