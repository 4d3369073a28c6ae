#pragma once
// A display with a keyboard of its own, for what only a user's keyboard shows: an Xnest on the
// session's display, whose keyboard device types what XTest types on the session's display (the
// user's hands), and one window in it that takes the keyboard and keeps what it is typed.

#include <QProcess>
#include <memory>
#include <string>

namespace pennial::desktop {

class NestedDisplay {
public:
    NestedDisplay();
    ~NestedDisplay();
    NestedDisplay(const NestedDisplay&) = delete;
    NestedDisplay& operator=(const NestedDisplay&) = delete;

    // Empty when Xnest did not start.
    const std::string& name() const { return name_; }

    // The user's hands: keys by keysym name ("z", "Shift_L"), through the nested keyboard.
    void handsPress(const char* key);
    void handsRelease(const char* key);
    void handsTap(const char* key);
    // A key typed inside the nested display through its XTest device, as a program types; and
    // a key let go there, as a shortcut first lets go of the modifiers held.
    void programTaps(const char* key);
    void programReleases(const char* key);

    // What the window was typed so far, once the nested display has handled every key sent.
    std::string typed();
    void clearTyped() { typed_.clear(); }

private:
    struct Window;
    QProcess server_;
    std::string name_;
    std::unique_ptr<Window> window_;
    std::string typed_;
};

} // namespace pennial::desktop
