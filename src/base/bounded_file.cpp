#include "base/bounded_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pennial {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

[[noreturn]] void failWithErrno(int error) {
    auto reason = error == ENOENT || error == ENOTDIR ? FileReadError::Reason::missing
                  : error == ENXIO ? FileReadError::Reason::notRegular // a socket
                                   : FileReadError::Reason::unreadable;
    throw FileReadError(reason, std::strerror(error));
}

} // namespace

std::string readRegularFile(const std::filesystem::path& path, std::size_t maxBytes,
                            struct stat* info) {
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        failWithErrno(errno);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0)
        failWithErrno(errno);
    if (!S_ISREG(status.st_mode))
        throw FileReadError(FileReadError::Reason::notRegular, "not a regular file");
    if (std::size_t(status.st_size) > maxBytes)
        throw FileReadError(FileReadError::Reason::tooLarge,
                            fmt::format("larger than {} bytes", maxBytes));
    std::string content;
    content.reserve(std::size_t(status.st_size));
    char buffer[64 * 1024];
    for (;;) {
        ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            failWithErrno(errno);
        if (got == 0)
            break;
        content.append(buffer, std::size_t(got));
        // The file may be growing while it is read.
        if (content.size() > maxBytes)
            throw FileReadError(FileReadError::Reason::tooLarge,
                                fmt::format("larger than {} bytes", maxBytes));
    }
    if (info)
        *info = status;
    return content;
}

} // namespace pennial
