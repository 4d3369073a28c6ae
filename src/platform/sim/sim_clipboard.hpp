#pragma once
// The simulated desktop's clipboard: items with their typed data and a change count, as the real
// one keeps them. Tests copy into it as another application would and read what a paste inserts.

#include "platform/clipboard.hpp"

#include <mutex>
#include <optional>
#include <string>

namespace pennial {

class SimClipboard final : public Clipboard {
public:
    // The type setText() writes and a paste reads.
    static constexpr const char* plainTextType = "text/plain";

    ClipboardSnapshot snapshot() override;
    void clear() override;
    void setText(const std::string& text) override;
    void write(const ClipboardSnapshot& items) override;
    std::int64_t changeCount() override;

    // Another application copies (the user, say): the contents change hands.
    void copy(ClipboardSnapshot items);
    void copyText(const std::string& text);
    // What a paste inserts: the first item's plain text; none when no item offers one.
    std::optional<std::string> text() const;
    ClipboardSnapshot contents() const;

private:
    void replace(ClipboardSnapshot items);

    mutable std::mutex mutex_; // guards the members below
    ClipboardSnapshot items_;
    std::int64_t changeCount_ = 0;
};

} // namespace pennial
