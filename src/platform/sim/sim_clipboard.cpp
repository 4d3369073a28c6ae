#include "platform/sim/sim_clipboard.hpp"

namespace pennial {

ClipboardSnapshot SimClipboard::snapshot() {
    return contents();
}

void SimClipboard::clear() {
    if (!refusing_)
        replace({});
}

void SimClipboard::setText(const std::string& text) {
    if (!refusing_)
        replace({ClipboardItem{{{plainTextType, text}}}});
}

void SimClipboard::write(const ClipboardSnapshot& items) {
    if (!refusing_)
        replace(items);
}

std::int64_t SimClipboard::changeCount() {
    std::lock_guard lock(mutex_);
    return changeCount_;
}

void SimClipboard::copy(ClipboardSnapshot items) {
    replace(std::move(items));
}

void SimClipboard::copyText(const std::string& text) {
    replace({ClipboardItem{{{plainTextType, text}}}});
}

std::optional<std::string> SimClipboard::text() const {
    std::lock_guard lock(mutex_);
    if (items_.empty())
        return std::nullopt;
    for (const auto& [type, data] : items_.front().representations)
        if (type == plainTextType || type.starts_with(std::string(plainTextType) + ";"))
            return data;
    return std::nullopt;
}

ClipboardSnapshot SimClipboard::contents() const {
    std::lock_guard lock(mutex_);
    return items_;
}

void SimClipboard::replace(ClipboardSnapshot items) {
    std::lock_guard lock(mutex_);
    items_ = std::move(items);
    ++changeCount_;
}

} // namespace pennial
