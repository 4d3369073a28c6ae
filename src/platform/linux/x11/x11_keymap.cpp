#include "platform/linux/x11/x11_keymap.hpp"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace pennial {

namespace {

// Which of Mod1..Mod5 carry AltGr, Alt, Super and Num Lock: the row of the modifier mapping that
// holds a key with such a keysym.
ModifierMasks readModifierMasks(Display* display, XkbDescPtr keyboard) {
    ModifierMasks masks;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return masks;
    for (int row = Mod1MapIndex; row <= Mod5MapIndex; ++row) {
        const unsigned bit = 1u << row;
        for (int column = 0; column < map->max_keypermod; ++column) {
            const KeyCode keycode = map->modifiermap[row * map->max_keypermod + column];
            if (keycode == 0 || keycode < keyboard->min_key_code ||
                keycode > keyboard->max_key_code)
                continue;
            const KeySym* symbols = XkbKeySymsPtr(keyboard, keycode);
            for (int i = 0; i < XkbKeyNumSyms(keyboard, keycode); ++i) {
                switch (symbols[i]) {
                case XK_Alt_L:
                case XK_Alt_R:
                case XK_Meta_L:
                case XK_Meta_R:
                    masks.alt |= bit;
                    break;
                case XK_ISO_Level3_Shift:
                case XK_Mode_switch:
                    masks.option |= bit;
                    break;
                case XK_Super_L:
                case XK_Super_R:
                case XK_Hyper_L:
                case XK_Hyper_R:
                    masks.command |= bit;
                    break;
                case XK_Num_Lock:
                    masks.numLock |= bit;
                    break;
                default:
                    break;
                }
            }
        }
    }
    XFreeModifiermap(map);
    return masks;
}

} // namespace

unsigned keyModifiers(unsigned state, const ModifierMasks& masks) {
    unsigned modifiers = 0;
    if (state & ShiftMask)
        modifiers |= KeyModifier::shift;
    if (state & ControlMask)
        modifiers |= KeyModifier::control;
    if (state & LockMask)
        modifiers |= KeyModifier::capsLock;
    if (state & masks.option)
        modifiers |= KeyModifier::option;
    if (state & masks.alt)
        modifiers |= KeyModifier::alt;
    if (state & masks.command)
        modifiers |= KeyModifier::command;
    return modifiers;
}

bool isLockKey(KeySym keysym) {
    return keysym == XK_Caps_Lock || keysym == XK_Shift_Lock || keysym == XK_Num_Lock ||
           keysym == XK_Scroll_Lock;
}

std::vector<unsigned> modifierKeysButLocks(Display* display) {
    std::vector<unsigned> keys;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return keys;
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
        const KeyCode keycode = map->modifiermap[i];
        if (keycode != 0 && !isLockKey(XkbKeycodeToKeysym(display, keycode, 0, 0)))
            keys.push_back(keycode);
    }
    XFreeModifiermap(map);
    return keys;
}

Key keyForKeysym(KeySym keysym) {
    switch (keysym) {
    case XK_Return:
        return Key::returnKey;
    case XK_KP_Enter:
        return Key::keypadEnter;
    case XK_Tab:
    case XK_ISO_Left_Tab:
    case XK_KP_Tab:
        return Key::tab;
    case XK_Escape:
        return Key::escape;
    case XK_BackSpace:
        return Key::backspace;
    case XK_Delete:
    case XK_KP_Delete:
        return Key::forwardDelete;
    case XK_Home:
    case XK_KP_Home:
        return Key::home;
    case XK_End:
    case XK_KP_End:
        return Key::end;
    case XK_Prior:
    case XK_KP_Prior:
        return Key::pageUp;
    case XK_Next:
    case XK_KP_Next:
        return Key::pageDown;
    case XK_Left:
    case XK_KP_Left:
        return Key::leftArrow;
    case XK_Right:
    case XK_KP_Right:
        return Key::rightArrow;
    case XK_Up:
    case XK_KP_Up:
        return Key::upArrow;
    case XK_Down:
    case XK_KP_Down:
        return Key::downArrow;
    default:
        return Key::other;
    }
}

std::string textForKeysym(KeySym keysym) {
    char buffer[8] = {};
    const int size = xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(keysym), buffer, sizeof buffer);
    // The size counts the terminating zero; 0 means no text, -1 a too small buffer (never: 7 bytes
    // hold any code point).
    return size > 1 ? std::string(buffer, static_cast<std::size_t>(size - 1)) : std::string();
}

std::optional<PaletteKey> paletteKeyFor(Key key) {
    switch (key) {
    case Key::upArrow:
        return PaletteKey::up;
    case Key::downArrow:
        return PaletteKey::down;
    case Key::returnKey:
        return PaletteKey::returnKey;
    case Key::keypadEnter:
        return PaletteKey::keypadEnter;
    case Key::tab:
        return PaletteKey::tab;
    case Key::escape:
        return PaletteKey::escape;
    default:
        return std::nullopt;
    }
}

X11Keymap::X11Keymap(Display* display) : display_(display) {
    reload();
}

X11Keymap::~X11Keymap() {
    if (keyboard_)
        XkbFreeKeyboard(keyboard_, 0, True);
}

void X11Keymap::reload() {
    if (keyboard_)
        XkbFreeKeyboard(keyboard_, 0, True);
    keyboard_ = XkbGetMap(display_, XkbAllClientInfoMask, XkbUseCoreKbd);
    masks_ = keyboard_ ? readModifierMasks(display_, keyboard_) : ModifierMasks{};
}

unsigned X11Keymap::keycodeFor(KeySym keysym) const {
    if (!keyboard_)
        return 0;
    for (unsigned keycode = keyboard_->min_key_code; keycode <= keyboard_->max_key_code;
         ++keycode) {
        if (keysymFor(keycode) == keysym)
            return keycode;
    }
    return 0;
}

KeySym X11Keymap::keysymFor(unsigned keycode) const {
    if (!keyboard_ || keycode < keyboard_->min_key_code || keycode > keyboard_->max_key_code ||
        XkbKeyNumSyms(keyboard_, keycode) == 0)
        return NoSymbol;
    return XkbKeySym(keyboard_, keycode, 0);
}

std::optional<KeyDownEvent> X11Keymap::keyDown(unsigned keycode, unsigned state, int group) const {
    if (!keyboard_ || keycode > 255)
        return std::nullopt;
    unsigned consumed = 0;
    KeySym keysym = NoSymbol;
    XkbTranslateKeyCode(keyboard_, static_cast<KeyCode>(keycode), XkbBuildCoreState(state, group),
                        &consumed, &keysym);
    if (keysym == NoSymbol || IsModifierKey(keysym))
        return std::nullopt;
    // Caps Lock on a key whose type does not use it still capitalises, as in every text field.
    if ((state & LockMask) && !(consumed & LockMask)) {
        KeySym lower = NoSymbol;
        KeySym upper = NoSymbol;
        XConvertCase(keysym, &lower, &upper);
        keysym = upper;
    }
    KeyDownEvent event;
    event.key = keyForKeysym(keysym);
    event.modifiers = keyModifiers(state, masks_);
    event.characters = textForKeysym(keysym);
    return event;
}

} // namespace pennial
