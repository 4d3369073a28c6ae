#pragma once
// The system's log: one line per event, "<emoji> [<Tag>] <message>", written as given.
// Never pass a token, a code or a field's text.

#include <fmt/format.h>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pennial {

void logLine(std::string_view line);

template <class... Args> void logf(fmt::format_string<Args...> format, Args&&... args) {
    logLine(fmt::format(format, std::forward<Args>(args)...));
}

// Records every line logged while it exists (tests read what the system said).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view line) const;
    // Lines that contain the fragment.
    std::vector<std::string> matching(std::string_view fragment) const;
    void clear();

    void append(std::string_view line);

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace pennial
