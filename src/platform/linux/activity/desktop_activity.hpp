#pragma once
// What happened on the desktop that may have changed the focused field: key presses, and the
// accessibility reports of the field itself. Key presses are counted, so that a view of the field
// confirmed at one count is known to still hold while it stands (the field's own reports drop such
// a view where it is kept); both reach the observers. One per process: its sources (the
// accessibility thread, the key reader) and its readers live apart. Any thread.

#include "platform/field_activity.hpp"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

namespace pennial {

class DesktopActivity : public FieldActivity {
public:
    static DesktopActivity& instance();

    // Key presses so far.
    std::uint64_t keyPresses() const { return keyPresses_.load(std::memory_order_acquire); }

    // A key went down somewhere on the display.
    void keyPressed();

    // Counts the changes to what a field at rest is answered from (key presses, the focus, the
    // active window, the text kept of the field): while it stays the same, none came. Each change
    // is counted once it is made, so a count read before the reads it covers is never too new.
    std::uint64_t restChanges() const { return restChanges_.load(std::memory_order_acquire); }
    const std::atomic<std::uint64_t>& restCounter() const { return restChanges_; }
    void noteRestChange() { restChanges_.fetch_add(1, std::memory_order_acq_rel); }
    // The field last read reported a change of its text or caret.
    void fieldReported() { tell(); }

    Subscription observe(std::function<void()> onActivity) override;

private:
    DesktopActivity() = default;
    void tell();

    std::atomic<std::uint64_t> keyPresses_{0};
    std::atomic<std::uint64_t> restChanges_{0};
    std::mutex mutex_;
    std::list<std::function<void()>> observers_;
};

// The process's desktop activity as a facility to hand out (it is never destroyed).
std::shared_ptr<FieldActivity> desktopActivity();

} // namespace pennial
