#pragma once
// The user's keyboards held back for a moment: while held, their keys come to us instead of the
// focused application, and on release they are typed through XTest in the order they came.
// Each keyboard device is grabbed on its own (an XInput 2 device grab), which leaves the
// application its focus; a grab of the core keyboard would take the focus away and back, and keys
// typed as it came back were lost. Keys typed through XTest (ours) are never held. The X server
// ends the grabs if the program dies, and a hold not released in time releases itself.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Xlib's own types, without its macros (which break the headers of files that include this one).
struct _XDisplay;
union _XEvent;

namespace pennial {

class X11Connection;

class X11UserKeyHold {
public:
    // Null when there is no display or it has no XInput 2 or XTest.
    static std::unique_ptr<X11UserKeyHold> open(std::chrono::milliseconds longest);
    ~X11UserKeyHold();
    X11UserKeyHold(const X11UserKeyHold&) = delete;
    X11UserKeyHold& operator=(const X11UserKeyHold&) = delete;

    // Returns once the keyboards are held (none where the display has no keyboard but XTest's).
    // Holding again while held changes nothing.
    void hold();
    // Returns once the held keys have been typed. Without a hold, nothing happens.
    void release();

private:
    struct HeldKey {
        unsigned keycode = 0;
        bool press = false;
    };

    explicit X11UserKeyHold(std::chrono::milliseconds longest);
    void watch();
    void keep(_XDisplay* display, _XEvent& event);
    void holdOnConnection(_XDisplay* display);
    void releaseOnConnection(_XDisplay* display);
    void takeQueuedKeys(_XDisplay* display);
    void typeHeldKeys(_XDisplay* display);
    void letGoOfKeysReleased(_XDisplay* display);
    void followReleases(_XDisplay* display);

    std::chrono::milliseconds longest_;
    int xinputOpcode_ = 0;
    std::unique_ptr<X11Connection> connection_;
    // On the connection's thread only.
    struct Grabbed {
        int id = 0;
        void* device = nullptr; // its XInput 1 handle, open while grabbed
    };
    std::vector<Grabbed> grabbed_;
    std::vector<int> usersKeyboards_; // those of the last hold
    std::vector<HeldKey> keys_;
    std::vector<unsigned> modifiersAtHold_; // the user's, down as the hold began
    // Typed again through XTest for a user still holding them, not yet let go there.
    std::vector<unsigned> leftDown_;
    bool followingReleases_ = false;
    bool draining_ = false; // while a hold ends

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool stopping_ = false;
    std::thread watchdog_;
};

} // namespace pennial
