#pragma once
// The simulated desktop's clipboard: items with their typed data and a change count, as the real
// one keeps them. Tests copy into it as another application would and read what a paste inserts.

#include "platform/clipboard.hpp"

#include <atomic>
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
    // Our writes are refused and the contents stay another client's, as an X server refuses a
    // selection owner that does not have the keyboard (Xwayland does).
    void refuseOurWrites() { refusing_ = true; }
    // What a paste inserts: the first item's plain text; none when no item offers one.
    std::optional<std::string> text() const;
    ClipboardSnapshot contents() const;

private:
    void replace(ClipboardSnapshot items);

    mutable std::mutex mutex_; // guards the members below
    ClipboardSnapshot items_;
    std::int64_t changeCount_ = 0;
    std::atomic<bool> refusing_ = false;
};

} // namespace pennial
