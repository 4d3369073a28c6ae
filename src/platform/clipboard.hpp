#pragma once
// The system clipboard as the write-back's keyboard paste needs it: every item with every type it
// offers, saved and put back in order, and a change count that tells whether someone else wrote.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pennial {

struct ClipboardItem {
    // (type, data) in the order the item offers them, e.g. ("text/plain;charset=utf-8", "...").
    std::vector<std::pair<std::string, std::string>> representations;
    bool operator==(const ClipboardItem&) const = default;
};

using ClipboardSnapshot = std::vector<ClipboardItem>;

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual ClipboardSnapshot snapshot() = 0;
    virtual void clear() = 0;
    virtual void setText(const std::string& text) = 0;
    // Replaces the contents with these items in one write.
    virtual void write(const ClipboardSnapshot& items) = 0;
    // Grows on every change of the contents, ours included.
    virtual std::int64_t changeCount() = 0;
};

// What a snapshot keeps of the types an owner offers: not those that describe the selection itself
// (X11's TARGETS and its kind) or name an X server's resources, and of the images (the same
// picture converted to a dozen types) only one, PNG where offered.
std::vector<std::string> typesWorthKeeping(const std::vector<std::string>& offered);

} // namespace pennial
