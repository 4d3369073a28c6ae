#include "platform/linux/storage/atomic_file.hpp"

#include "base/private_files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace pennial {
namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

void writeAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        auto written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot write temporary file");
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::filesystem::path temporarySibling(const std::filesystem::path& file) {
    std::random_device random;
    return file.parent_path() /
           (temporaryPrefixFor(file, long(::getpid())) + std::to_string(random()));
}

} // namespace

void writeFileAtomically(const std::filesystem::path& file, std::string_view contents) {
    auto folder = file.parent_path();
    if (!folder.empty())
        createPrivateFolder(folder);

    auto temporary = temporarySibling(file);
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        fail("cannot create temporary file");
    try {
        writeAll(fd.get(), contents);
        if (::fsync(fd.get()) != 0)
            fail("cannot flush temporary file");
        if (::close(fd.release()) != 0)
            fail("cannot close temporary file");
        if (::rename(temporary.c_str(), file.c_str()) != 0)
            fail("cannot replace file");
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // Make the rename itself durable.
    FileDescriptor directory(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
}

} // namespace pennial
