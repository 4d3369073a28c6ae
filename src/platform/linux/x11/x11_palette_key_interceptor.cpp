#include "platform/linux/x11/x11_palette_key_interceptor.hpp"

#include "base/log.hpp"
#include "platform/linux/activity/own_key_grab.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_keymap.hpp"
#include "platform/linux/x11/xinput_key_event_source.hpp"

#include <X11/keysym.h>
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace pennial {

namespace {

constexpr std::array<std::pair<KeySym, PaletteKey>, 6> paletteKeysyms{{
    {XK_Up, PaletteKey::up},
    {XK_Down, PaletteKey::down},
    {XK_Return, PaletteKey::returnKey},
    {XK_KP_Enter, PaletteKey::keypadEnter},
    {XK_Tab, PaletteKey::tab},
    {XK_Escape, PaletteKey::escape},
}};

} // namespace

// Lives on the connection's thread: the grabs held and where their presses go.
struct X11PaletteKeyInterceptor::Grabber {
    struct Grab {
        unsigned keycode;
        PaletteKey key;
    };

    explicit Grabber(const PaletteKeyInterceptor& owner) : owner(owner) {}

    // False, holding nothing, when another client holds one of the combinations.
    bool grab(Display* display, const EventRelay<PaletteKey>& target) {
        const X11Keymap keymap(display);
        const unsigned numLock = keymap.modifierMasks().numLock;
        // A grab matches its modifiers exactly: the lock variants keep the keys ours whatever
        // Caps Lock and Num Lock are set to. Other chords (Shift+Tab, Control+Return) stay the
        // application's.
        modifierVariants = {0, LockMask};
        if (numLock != 0)
            modifierVariants.insert(modifierVariants.end(), {numLock, numLock | LockMask});
        grabs.clear();
        for (const auto& [keysym, key] : paletteKeysyms) {
            if (const unsigned keycode = keymap.keycodeFor(keysym))
                grabs.push_back({keycode, key});
        }

        const Window root = DefaultRootWindow(display);
        X11ErrorTrap trap(display);
        for (const Grab& grab : grabs) {
            for (unsigned modifiers : modifierVariants)
                // The keyboard waits at each press for the word whether it is ours.
                XGrabKey(display, static_cast<int>(grab.keycode), modifiers, root, False,
                         GrabModeAsync, GrabModeSync);
        }
        if (trap.caught(BadAccess)) {
            ungrab(display);
            return false;
        }
        relay = target;
        return true;
    }

    void ungrab(Display* display) {
        const Window root = DefaultRootWindow(display);
        for (const Grab& grab : grabs) {
            for (unsigned modifiers : modifierVariants)
                XUngrabKey(display, static_cast<int>(grab.keycode), modifiers, root);
        }
        XSync(display, False);
        grabs.clear();
        relay.reset();
    }

    void onEvent(Display* display, XEvent& event) {
        // Releases come to us too, under the grab the press activated; they are just dropped.
        if (event.type != KeyPress)
            return;
        const auto grab = std::find_if(grabs.begin(), grabs.end(), [&](const Grab& candidate) {
            return candidate.keycode == event.xkey.keycode;
        });
        // A key the palette would not act on (no row to run, a command already running) goes to
        // the focused window as if never grabbed, before any key typed after it.
        if (grab == grabs.end() || !relay || !owner.wants(grab->key)) {
            XAllowEvents(display, ReplayKeyboard, event.xkey.time);
            XFlush(display);
            return;
        }
        XAllowEvents(display, AsyncKeyboard, event.xkey.time);
        XFlush(display);
        own_key_grab::pressed();
        relay->post(grab->key);
    }

    const PaletteKeyInterceptor& owner;

    std::vector<Grab> grabs;
    std::vector<unsigned> modifierVariants;
    std::optional<EventRelay<PaletteKey>> relay;
};

X11PaletteKeyInterceptor::X11PaletteKeyInterceptor(Executor mainExecutor)
    : main_(std::move(mainExecutor)), grabber_(std::make_unique<Grabber>(*this)) {}

X11PaletteKeyInterceptor::~X11PaletteKeyInterceptor() {
    stop();
}

PaletteKeyInterceptor::Mode
X11PaletteKeyInterceptor::start(std::function<void(PaletteKey)> onKeyDown) {
    if (mode_) {
        relay_->setHandler(std::move(onKeyDown));
        return *mode_;
    }
    relay_.emplace(main_, std::move(onKeyDown));
    if (!connection_) {
        connection_ =
            X11Connection::open([grabber = grabber_.get()](Display* display, XEvent& event) {
                grabber->onEvent(display, event);
            });
    }
    const bool grabbed = connection_ && connection_->call([this](Display* display) {
        return grabber_->grab(display, *relay_);
    });
    mode_ = grabbed ? Mode::intercepting : observeInstead();
    return *mode_;
}

PaletteKeyInterceptor::Mode X11PaletteKeyInterceptor::observeInstead() {
    observer_ = std::make_unique<XInputKeyEventSource>(main_);
    // Only the presses a grab would have taken: the bare keys, whatever the locks.
    auto onKeyDown = [relay = *relay_](const KeyDownEvent& event) {
        if ((event.modifiers & ~KeyModifier::capsLock) != 0)
            return;
        if (const auto key = paletteKeyFor(event.key))
            relay.deliver(*key);
    };
    if (observer_->startObserving(std::move(onKeyDown)))
        return Mode::observing;
    observer_.reset();
    return Mode::unavailable;
}

void X11PaletteKeyInterceptor::stop() {
    if (!mode_)
        return;
    if (*mode_ == Mode::intercepting)
        connection_->call([this](Display* display) { grabber_->ungrab(display); });
    observer_.reset();
    relay_->close();
    relay_.reset();
    mode_.reset();
}

std::unique_ptr<PaletteKeyInterceptor> makePaletteKeyInterceptor(Executor mainExecutor) {
    logLine("🔵 [Platform] Using X11 key grabs for the palette keys");
    return std::make_unique<X11PaletteKeyInterceptor>(std::move(mainExecutor));
}

} // namespace pennial
