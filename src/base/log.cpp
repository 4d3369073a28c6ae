#include "base/log.hpp"

#include <algorithm>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

namespace pennial {
namespace {

std::mutex& capturesMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<LogCapture*>& captures() {
    static std::vector<LogCapture*> list;
    return list;
}

spdlog::logger& consoleLogger() {
    static auto logger = [] {
        auto made = std::make_shared<spdlog::logger>(
            "pennial", std::make_shared<spdlog::sinks::stderr_sink_mt>());
        made->set_pattern("%v");
        if (const char* quiet = std::getenv("PENNIAL_QUIET_LOG"); quiet && *quiet == '1')
            made->set_level(spdlog::level::off);
        return made;
    }();
    return *logger;
}

} // namespace

void logLine(std::string_view line) {
    consoleLogger().info("{}", line);
    std::lock_guard lock(capturesMutex());
    for (auto* capture : captures())
        capture->append(line);
}

LogCapture::LogCapture() {
    std::lock_guard lock(capturesMutex());
    captures().push_back(this);
}

LogCapture::~LogCapture() {
    std::lock_guard lock(capturesMutex());
    std::erase(captures(), this);
}

void LogCapture::append(std::string_view line) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool LogCapture::contains(std::string_view line) const {
    std::lock_guard lock(mutex_);
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

std::vector<std::string> LogCapture::matching(std::string_view fragment) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> found;
    for (const auto& line : lines_)
        if (line.find(fragment) != std::string::npos)
            found.push_back(line);
    return found;
}

void LogCapture::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

} // namespace pennial
