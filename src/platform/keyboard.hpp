#pragma once
// Keys as the system thinks of them: the few keys with a meaning of their own, everything else as
// the text it produced. Listening (observe only), intercepting the palette's keys, and synthesising
// the two shortcuts the write-back needs.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace pennial {

enum class Key : std::uint8_t {
    other, // any key without a meaning of its own: its produced text counts
    returnKey,
    keypadEnter,
    tab,
    escape,
    backspace,
    forwardDelete,
    home,
    end,
    pageUp,
    pageDown,
    leftArrow,
    rightArrow,
    upArrow,
    downArrow,
};

// Modifier flags held during a key press.
namespace KeyModifier {
inline constexpr unsigned shift = 1u << 0;
inline constexpr unsigned control = 1u << 1;
inline constexpr unsigned option = 1u << 2;   // AltGr: picks another character of the key
inline constexpr unsigned command = 1u << 3;  // Super
inline constexpr unsigned function = 1u << 4; // Fn, where the keyboard reports it
inline constexpr unsigned capsLock = 1u << 5;
inline constexpr unsigned alt = 1u << 6; // Alt / Meta: a shortcut, as Control is
} // namespace KeyModifier

struct KeyDownEvent {
    Key key = Key::other;
    unsigned modifiers = 0;
    std::string characters; // the text the press produced with its modifiers applied; may be empty
};

// Key-downs delivered to any application, observed (never altered).
class KeyEventSource {
public:
    virtual ~KeyEventSource() = default;
    // The handler runs on the main executor. False when the system refuses to deliver key events.
    virtual bool startObserving(std::function<void(const KeyDownEvent&)> onKeyDown) = 0;
    virtual void stopObserving() = 0;
};

// The six keys the command palette drives, swallowed system-wide while interception is active.
enum class PaletteKey : std::uint8_t { up, down, returnKey, keypadEnter, tab, escape };

// A set of palette keys, a bit each.
using PaletteKeySet = unsigned;
constexpr PaletteKeySet paletteKeyBit(PaletteKey key) {
    return 1u << static_cast<unsigned>(key);
}
inline constexpr PaletteKeySet allPaletteKeys = (1u << 6) - 1;

class PaletteKeyInterceptor {
public:
    enum class Mode { intercepting, observing, unavailable };
    virtual ~PaletteKeyInterceptor() = default;
    // Key-downs of the six keys reach the handler on the main executor. While intercepting, their
    // key-downs and key-ups never reach the focused application; while observing they still do.
    // Only the wanted keys are taken: the others reach the application in their place among the
    // user's keys, as if nothing held them.
    virtual Mode start(std::function<void(PaletteKey)> onKeyDown) = 0;
    virtual void stop() = 0;

    // The keys the palette would act on now; all six until set. Any thread.
    void setWantedKeys(PaletteKeySet keys) { wanted_.store(keys, std::memory_order_relaxed); }
    bool wants(PaletteKey key) const {
        return (wanted_.load(std::memory_order_relaxed) & paletteKeyBit(key)) != 0;
    }

private:
    std::atomic<PaletteKeySet> wanted_{allPaletteKeys};
};

// extendSelection: Shift+Right, the selection grows by one character at its end.
enum class Shortcut : std::uint8_t { selectAll, paste, extendSelection };

// Synthesised key presses into the focused application (Control+A, Control+V, Shift+Right), with
// any modifiers the user still holds released first so the shortcut arrives as itself.
class KeyboardSynthesizer {
public:
    virtual ~KeyboardSynthesizer() = default;
    virtual void post(Shortcut shortcut) = 0;
    // Where the desktop must first be asked for its keyboard (a permission dialog), asks for it
    // without waiting for the answer: once monitoring starts, never at a paste.
    virtual void prepare() {}
    // False while keys cannot be sent: the keyboard not yet granted, refused or taken back.
    virtual bool ready() const { return true; }

    // The user's own keys held back while a selection of ours waits for its paste: typed
    // meanwhile, they reach the application once released, in their order. Where the desktop
    // cannot hold them, they go on as typed. A hold not released in time releases itself.
    virtual void holdUserKeys() {}
    virtual void releaseUserKeys() {}
};

} // namespace pennial
