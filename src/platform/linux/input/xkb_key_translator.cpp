#include "platform/linux/input/xkb_key_translator.hpp"

#include "platform/linux/x11/x11_keymap.hpp"

#include <xkbcommon/xkbcommon.h>

namespace pennial {

namespace {

// The kernel numbers keys from 0; XKB key codes start at 8.
constexpr unsigned xkbOffset = 8;

bool isModifierKeysym(xkb_keysym_t keysym) {
    return (keysym >= XKB_KEY_Shift_L && keysym <= XKB_KEY_Hyper_R) ||
           (keysym >= XKB_KEY_ISO_Lock && keysym <= XKB_KEY_ISO_Last_Group_Lock) ||
           keysym == XKB_KEY_Mode_switch || keysym == XKB_KEY_Num_Lock;
}

} // namespace

std::unique_ptr<XkbKeyTranslator> XkbKeyTranslator::fromEnvironment() {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return nullptr;
    // No names: the library reads XKB_DEFAULT_RULES, _MODEL, _LAYOUT, _VARIANT and _OPTIONS.
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::unique_ptr<XkbKeyTranslator>(new XkbKeyTranslator(context, keymap));
}

XkbKeyTranslator::XkbKeyTranslator(xkb_context* context, xkb_keymap* keymap)
    : context_(context), keymap_(keymap), state_(xkb_state_new(keymap)) {}

XkbKeyTranslator::~XkbKeyTranslator() {
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

std::optional<KeyDownEvent> XkbKeyTranslator::keyChanged(unsigned deviceCode, bool pressed) {
    // Read before the press changes the state: the text of "a" with Shift held, not of Shift.
    auto event = pressed ? keyRepeated(deviceCode) : std::nullopt;
    xkb_state_update_key(state_, deviceCode + xkbOffset, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
    return event;
}

std::optional<KeyDownEvent> XkbKeyTranslator::keyRepeated(unsigned deviceCode) const {
    const xkb_keycode_t keycode = deviceCode + xkbOffset;
    const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state_, keycode);
    if (keysym == XKB_KEY_NoSymbol || isModifierKeysym(keysym))
        return std::nullopt;
    KeyDownEvent event;
    event.key = keyForKeysym(keysym);
    auto active = [&](const char* name) {
        return xkb_state_mod_name_is_active(state_, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    if (active(XKB_MOD_NAME_SHIFT))
        event.modifiers |= KeyModifier::shift;
    if (active(XKB_MOD_NAME_CTRL))
        event.modifiers |= KeyModifier::control;
    if (active(XKB_MOD_NAME_CAPS))
        event.modifiers |= KeyModifier::capsLock;
    // Mod5 is where the usual keymaps put AltGr.
    if (active(XKB_MOD_NAME_ALT) || active("Mod5"))
        event.modifiers |= KeyModifier::option;
    if (active(XKB_MOD_NAME_LOGO))
        event.modifiers |= KeyModifier::command;
    // The symbol's own text (with Caps Lock applied), as on X11: Control+A is "a", not U+0001.
    event.characters = textForKeysym(keysym);
    return event;
}

std::optional<unsigned> XkbKeyTranslator::deviceCodeOf(std::uint32_t keysym) const {
    const auto last = xkb_keymap_max_keycode(keymap_);
    for (auto code = xkb_keymap_min_keycode(keymap_); code <= last; ++code) {
        const xkb_keysym_t* symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap_, code, 0, 0, &symbols);
        for (int i = 0; i < count; ++i)
            if (symbols[i] == keysym && code >= xkbOffset)
                return code - xkbOffset;
    }
    return std::nullopt;
}

} // namespace pennial
