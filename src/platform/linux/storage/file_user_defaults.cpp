#include "platform/linux/storage/file_user_defaults.hpp"

#include "base/bounded_file.hpp"
#include "base/log.hpp"
#include "base/private_files.hpp"
#include "platform/linux/storage/atomic_file.hpp"
#include "platform/linux/storage/xdg_directories.hpp"

#include <chrono>
#include <fmt/chrono.h>

namespace pennial {

FileUserDefaults::FileUserDefaults(std::filesystem::path file) : file_(std::move(file)) {
    removeStaleTemporaries(file_);
    load();
}

std::filesystem::path FileUserDefaults::defaultFile() {
    return xdgConfigHome() / applicationFolderName / "defaults.json";
}

bool FileUserDefaults::boolForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    return it != values_.end() && it->is_boolean() && it->get<bool>();
}

void FileUserDefaults::setBool(std::string_view key, bool value) {
    std::lock_guard lock(mutex_);
    values_[std::string(key)] = value;
    save();
}

std::optional<std::string> FileUserDefaults::stringForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

void FileUserDefaults::setString(std::string_view key, std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    if (value)
        values_[std::string(key)] = std::move(*value);
    else
        values_.erase(std::string(key));
    save();
}

void FileUserDefaults::load() {
    try {
        std::string text;
        try {
            text = readRegularFile(file_);
        } catch (const FileReadError& error) {
            if (error.reason() == FileReadError::Reason::missing)
                return;
            throw JsonShapeError(error.what());
        }
        auto parsed = json::parse(text);
        if (!parsed.is_object())
            throw JsonShapeError("is not an object");
        values_ = std::move(parsed);
    } catch (const JsonShapeError& e) {
        // The flags start over, but the file is not thrown away: it is kept aside on the first
        // write.
        keepUnreadableCopy_ = true;
        storedValuesLost_ = true;
        logf("⚠️ [UserDefaults] Settings file unreadable, starting without flags: {}",
             e.what());
    }
}

void FileUserDefaults::save() {
    try {
        if (keepUnreadableCopy_) {
            auto stamp =
                fmt::format("{:%Y%m%dT%H%M%SZ}", fmt::gmtime(std::chrono::system_clock::to_time_t(
                                                     std::chrono::system_clock::now())));
            auto aside = file_;
            aside += ".corrupt-" + stamp;
            std::error_code error;
            std::filesystem::rename(file_, aside, error);
            // Gone since it was read: nothing left to keep.
            if (error && error != std::errc::no_such_file_or_directory)
                throw std::filesystem::filesystem_error("cannot keep the unreadable file", file_,
                                                        error);
            keepUnreadableCopy_ = false;
        }
        writeFileAtomically(file_, json::dump(values_, 2) + "\n");
    } catch (const std::exception& e) {
        logf("⚠️ [UserDefaults] Failed to save settings: {}", e.what());
    }
}

} // namespace pennial
