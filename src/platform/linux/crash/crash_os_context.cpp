#include "platform/linux/crash/crash_os_context.hpp"

#include <fstream>
#include <sys/utsname.h>

namespace pennial {
namespace {

// One value of os-release, its quotes taken off.
std::string osReleaseValue(const std::string& text, std::string_view key) {
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        auto line = std::string_view(text).substr(start, end - start);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
            auto value = line.substr(key.size() + 1);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            return std::string(value);
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return {};
}

std::string osReleaseText() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        if (in)
            return std::string(std::istreambuf_iterator<char>(in), {});
    }
    return {};
}

} // namespace

CrashOsContext thisMachinesOsContext() {
    CrashOsContext os;
    auto release = osReleaseText();
    os.name = osReleaseValue(release, "NAME");
    os.version = osReleaseValue(release, "VERSION_ID");
    utsname machine{};
    if (::uname(&machine) == 0) {
        if (os.name.empty())
            os.name = machine.sysname;
        os.kernelVersion = machine.release;
        os.architecture = machine.machine;
    }
    if (os.name.empty())
        os.name = "Linux";
    return os;
}

} // namespace pennial
