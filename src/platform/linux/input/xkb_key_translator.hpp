#pragma once
// What presses of a keyboard's keys type, from the raw key codes an input device reports: the
// keymap's state (held modifiers, Caps Lock, the layout) is followed across presses and releases,
// as the compositor itself would follow it. Used where keys are read from the devices themselves.

#include "platform/keyboard.hpp"

#include <cstdint>
#include <memory>
#include <optional>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace pennial {

class XkbKeyTranslator {
public:
    // The keymap the environment names (XKB_DEFAULT_LAYOUT and its siblings), else the system's
    // default; none when no keymap can be compiled.
    static std::unique_ptr<XkbKeyTranslator> fromEnvironment();
    ~XkbKeyTranslator();
    XkbKeyTranslator(const XkbKeyTranslator&) = delete;
    XkbKeyTranslator& operator=(const XkbKeyTranslator&) = delete;

    // A press or release of the device's key code (the kernel's numbering); a press answers the
    // key-down it makes, none for a modifier key itself.
    std::optional<KeyDownEvent> keyChanged(unsigned deviceCode, bool pressed);
    // The key-down a held key's autorepeat makes.
    std::optional<KeyDownEvent> keyRepeated(unsigned deviceCode) const;
    // The device key code whose first level types keysym in this keymap; none when no key does.
    std::optional<unsigned> deviceCodeOf(std::uint32_t keysym) const;

private:
    XkbKeyTranslator(xkb_context* context, xkb_keymap* keymap);

    xkb_context* context_;
    xkb_keymap* keymap_;
    xkb_state* state_;
};

} // namespace pennial
