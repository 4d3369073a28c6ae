#pragma once
// What a key press means under the keyboard's current mapping: the key, the modifiers held and the
// text it produces. Used on the thread of the connection it was loaded from.

#include "platform/keyboard.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <optional>
#include <vector>

namespace pennial {

// The modifier bits (Mod1..Mod5) that carry AltGr, Alt, Super and Num Lock in the current mapping.
struct ModifierMasks {
    unsigned option = 0;
    unsigned alt = 0;
    unsigned command = 0;
    unsigned numLock = 0;
};

// X modifier state to our modifier flags.
unsigned keyModifiers(unsigned state, const ModifierMasks& masks);

Key keyForKeysym(KeySym keysym);

// Caps Lock, Shift Lock, Num Lock, Scroll Lock: a press toggles, so they are never pressed or
// released on the user's behalf.
bool isLockKey(KeySym keysym);

// The keys of the modifier mapping (Shift, Control, Alt, Super...) but the lock keys: those a
// shortcut lets go of, and those a hold of the user's keys carries across.
std::vector<unsigned> modifierKeysButLocks(Display* display);

// The text a keysym types, as UTF-8 (empty for keys that type nothing).
std::string textForKeysym(KeySym keysym);

std::optional<PaletteKey> paletteKeyFor(Key key);

class X11Keymap {
public:
    explicit X11Keymap(Display* display);
    ~X11Keymap();
    X11Keymap(const X11Keymap&) = delete;
    X11Keymap& operator=(const X11Keymap&) = delete;

    // Reads the mapping again (after the user switched layouts or remapped keys).
    void reload();

    const ModifierMasks& modifierMasks() const { return masks_; }

    // The key whose unshifted symbol (first group) is keysym; 0 when the keyboard has none.
    unsigned keycodeFor(KeySym keysym) const;
    // The unshifted symbol (first group) of a key.
    KeySym keysymFor(unsigned keycode) const;

    // The key-down a press of keycode makes with these modifiers (lookup state) and group; none
    // for a modifier key itself, which types nothing and is seen as a modifier of later keys.
    std::optional<KeyDownEvent> keyDown(unsigned keycode, unsigned state, int group) const;

private:
    Display* display_;
    XkbDescPtr keyboard_ = nullptr;
    ModifierMasks masks_;
};

} // namespace pennial
