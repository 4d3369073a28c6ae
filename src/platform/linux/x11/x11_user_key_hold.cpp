#include "platform/linux/x11/x11_user_key_hold.hpp"

#include "base/log.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_keymap.hpp"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <bitset>
#include <string_view>
#include <utility>

namespace pennial {

namespace {

// XTest's own devices ("Virtual core XTEST keyboard"): what comes from them is ours, or another
// program's typing, never the user's hands.
bool isXTestDevice(const XIDeviceInfo& device) {
    return std::string_view(device.name).find("XTEST") != std::string_view::npos;
}

bool isLockKeycode(Display* display, unsigned keycode) {
    return isLockKey(XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), 0, 0));
}

// The keyboards the user types on: those attached to a core keyboard, but XTest's.
std::vector<int> usersKeyboards(Display* display) {
    std::vector<int> keyboards;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i)
        if (devices[i].use == XISlaveKeyboard && !isXTestDevice(devices[i]))
            keyboards.push_back(devices[i].deviceid);
    if (devices)
        XIFreeDeviceInfo(devices);
    return keyboards;
}

// The keys an opened keyboard holds down now.
void addKeysHeld(Display* display, XDevice* device, std::bitset<256>& held) {
    XDeviceState* state = XQueryDeviceState(display, device);
    const auto* data = state ? reinterpret_cast<const unsigned char*>(state->data) : nullptr;
    for (int c = 0; state && c < state->num_classes; ++c) {
        const auto* inputClass = reinterpret_cast<const XInputClass*>(data);
        if (inputClass->c_class == KeyClass) {
            const auto* keys = reinterpret_cast<const XKeyState*>(inputClass);
            for (std::size_t k = 0; k < held.size(); ++k)
                if (keys->keys[k / 8] & (1 << (k % 8)))
                    held.set(k);
        }
        data += inputClass->length;
    }
    if (state)
        XFreeDeviceState(state);
}

// The keys the user's keyboards hold down now (none of them held: closing one ends its grab).
std::bitset<256> keysHeldByTheUser(Display* display) {
    std::bitset<256> held;
    for (const int id : usersKeyboards(display)) {
        if (XDevice* device = XOpenDevice(display, static_cast<XID>(id))) {
            addKeysHeld(display, device, held);
            XCloseDevice(display, device);
        }
    }
    return held;
}

} // namespace

std::unique_ptr<X11UserKeyHold> X11UserKeyHold::open(std::chrono::milliseconds longest) {
    std::unique_ptr<X11UserKeyHold> hold(new X11UserKeyHold(longest));
    hold->connection_ = X11Connection::open(
        [raw = hold.get()](Display* display, XEvent& event) { raw->keep(display, event); });
    if (!hold->connection_)
        return nullptr;
    const bool usable = hold->connection_->call([&](Display* display) {
        int event = 0;
        int error = 0;
        int major = 2;
        int minor = 2;
        if (!XQueryExtension(display, "XInputExtension", &hold->xinputOpcode_, &event, &error) ||
            XIQueryVersion(display, &major, &minor) != Success ||
            !XTestQueryExtension(display, &event, &error, &major, &minor))
            return false;
        return true;
    });
    if (!usable)
        return nullptr;
    hold->watchdog_ = std::thread([raw = hold.get()] { raw->watch(); });
    return hold;
}

X11UserKeyHold::X11UserKeyHold(std::chrono::milliseconds longest) : longest_(longest) {}

X11UserKeyHold::~X11UserKeyHold() {
    if (watchdog_.joinable()) {
        release();
        // Keys typed again for a user still holding them stay down after we have gone, unless
        // let go here (a Shift would stay on).
        connection_->call([this](Display* display) {
            for (const unsigned keycode : std::exchange(leftDown_, {}))
                XTestFakeKeyEvent(display, keycode, False, CurrentTime);
            XSync(display, False);
        });
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        watchdog_.join();
    }
    // Its thread calls keep() until it stops: it goes before what keep() touches.
    connection_.reset();
}

void X11UserKeyHold::hold() {
    connection_->call([this](Display* display) { holdOnConnection(display); });
    std::lock_guard lock(mutex_);
    deadline_ = std::chrono::steady_clock::now() + longest_;
    changed_.notify_all();
}

void X11UserKeyHold::release() {
    {
        std::lock_guard lock(mutex_);
        deadline_.reset();
    }
    connection_->call([this](Display* display) { releaseOnConnection(display); });
}

// A hold its owner forgot (or could not end: a thread stuck in a call) gives the keyboard back.
void X11UserKeyHold::watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!deadline_) {
            changed_.wait(lock);
            continue;
        }
        if (changed_.wait_until(lock, *deadline_) != std::cv_status::timeout)
            continue;
        if (!deadline_ || std::chrono::steady_clock::now() < *deadline_)
            continue;
        deadline_.reset();
        lock.unlock();
        logLine("⚠️ [Platform] The keyboard was held too long - giving it back");
        connection_->call([this](Display* display) { releaseOnConnection(display); });
        lock.lock();
    }
}

void X11UserKeyHold::holdOnConnection(Display* display) {
    if (!grabbed_.empty())
        return;
    X11ErrorTrap trap(display);
    letGoOfKeysReleased(display);
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_KeyPress);
    XISetMask(bits, XI_KeyRelease);
    XIEventMask mask{XIAllDevices, sizeof bits, bits};
    for (const int keyboard : usersKeyboards(display)) {
        mask.deviceid = keyboard;
        // Opened first, to read its keys while it is grabbed (closed, a device loses its grabs).
        XDevice* device = XOpenDevice(display, static_cast<XID>(keyboard));
        // Grabbed on its own, the device floats for the grab: the application, and the core
        // keyboard's state, see none of its keys until it is let go.
        if (device && XIGrabDevice(display, keyboard, DefaultRootWindow(display), CurrentTime, None,
                                   XIGrabModeAsync, XIGrabModeAsync, False, &mask) == GrabSuccess)
            grabbed_.push_back({keyboard, device});
        else if (device)
            XCloseDevice(display, device);
    }
    usersKeyboards_.clear();
    for (const Grabbed& keyboard : grabbed_)
        usersKeyboards_.push_back(keyboard.id);
    // The modifiers the user holds, read once the keyboards are held: one let go of before the
    // grabs is not taken for held, and one let go of after them is among the held keys.
    std::bitset<256> held;
    for (const Grabbed& keyboard : grabbed_)
        addKeysHeld(display, static_cast<XDevice*>(keyboard.device), held);
    modifiersAtHold_.clear();
    for (const unsigned keycode : modifierKeysButLocks(display))
        if (keycode < held.size() && held[keycode])
            modifiersAtHold_.push_back(keycode);
}

void X11UserKeyHold::keep(Display* display, XEvent& event) {
    XGenericEventCookie& cookie = event.xcookie;
    if (cookie.type != GenericEvent || cookie.extension != xinputOpcode_ ||
        !XGetEventData(cookie.display, &cookie))
        return;
    if (cookie.evtype == XI_KeyPress || cookie.evtype == XI_KeyRelease) {
        const auto* key = static_cast<const XIDeviceEvent*>(cookie.data);
        keys_.push_back({static_cast<unsigned>(key->detail), cookie.evtype == XI_KeyPress});
    } else if (cookie.evtype == XI_RawKeyRelease && !draining_ && grabbed_.empty()) {
        // While held, a release is typed again in its place among the held keys; as a hold
        // ends, the user's keyboards are read instead.
        const auto* key = static_cast<const XIRawEvent*>(cookie.data);
        const auto down =
            std::find(leftDown_.begin(), leftDown_.end(), static_cast<unsigned>(key->detail));
        const bool fromUser = std::find(usersKeyboards_.begin(), usersKeyboards_.end(),
                                        key->sourceid) != usersKeyboards_.end();
        if (down != leftDown_.end() && fromUser) {
            leftDown_.erase(down);
            XTestFakeKeyEvent(display, key->detail, False, CurrentTime);
            followReleases(display);
            XFlush(display);
        }
    }
    XFreeEventData(cookie.display, &cookie);
}

// The user's releases are heard only while a key typed again for them is down (see
// letGoOfKeysReleased): the rest of the time their typing wakes nothing here.
void X11UserKeyHold::followReleases(Display* display) {
    const bool follow = !leftDown_.empty();
    if (follow == followingReleases_)
        return;
    followingReleases_ = follow;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (follow)
        XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask{XIAllDevices, sizeof bits, bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
}

void X11UserKeyHold::releaseOnConnection(Display* display) {
    if (grabbed_.empty())
        return;
    X11ErrorTrap trap(display);
    draining_ = true;
    // Typed again while still held, so that a key typed meanwhile waits its turn; then let go,
    // and what came before the server let go follows.
    takeQueuedKeys(display);
    // A shortcut sent meanwhile let go of the modifiers the user held (so that it arrived as
    // itself): pressed again, the keys typed while held take them as the user did.
    for (const unsigned keycode : modifiersAtHold_) {
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
        if (std::find(leftDown_.begin(), leftDown_.end(), keycode) == leftDown_.end())
            leftDown_.push_back(keycode);
    }
    modifiersAtHold_.clear();
    typeHeldKeys(display);
    for (const Grabbed& keyboard : grabbed_) {
        XIUngrabDevice(display, keyboard.id, CurrentTime);
        XCloseDevice(display, static_cast<XDevice*>(keyboard.device));
    }
    grabbed_.clear();
    takeQueuedKeys(display);
    typeHeldKeys(display);
    draining_ = false;
    letGoOfKeysReleased(display);
    followReleases(display);
    XSync(display, False);
}

// Every key the server has given us is in the queue once it has answered.
void X11UserKeyHold::takeQueuedKeys(Display* display) {
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        keep(display, event);
    }
}

void X11UserKeyHold::typeHeldKeys(Display* display) {
    for (const HeldKey& key : keys_) {
        const auto down = std::find(leftDown_.begin(), leftDown_.end(), key.keycode);
        if (key.press) {
            if (down == leftDown_.end())
                leftDown_.push_back(key.keycode);
            XTestFakeKeyEvent(display, key.keycode, True, CurrentTime);
        } else if (down != leftDown_.end()) {
            leftDown_.erase(down);
            XTestFakeKeyEvent(display, key.keycode, False, CurrentTime);
        } else if (!isLockKeycode(display, key.keycode)) {
            // Pressed before the hold, let go during it: the core keyboard still has it down,
            // and would take the key's next press for a second one and drop it (or a modifier
            // would stay on). Pressed through XTest, the press of a key already down is
            // dropped in turn; the release that follows lets go of it.
            XTestFakeKeyEvent(display, key.keycode, True, CurrentTime);
            XTestFakeKeyEvent(display, key.keycode, False, CurrentTime);
        }
    }
    keys_.clear();
}

// A key typed again through XTest and still held by the user when the hold ends stays down there
// too (a Shift still held shifts what follows), until the user lets go of it: XTest lets go when
// the user's release is heard, or here, at the end of a hold and the start of the next, of what
// the user no longer holds. Left down, it would outlast the user's finger: a later release
// through XTest (before a shortcut) would then take the modifier from the user's keyboard too.
void X11UserKeyHold::letGoOfKeysReleased(Display* display) {
    if (leftDown_.empty())
        return;
    const std::bitset<256> held = keysHeldByTheUser(display);
    std::erase_if(leftDown_, [&](unsigned keycode) {
        if (keycode < held.size() && held[keycode])
            return false;
        XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        return true;
    });
}

} // namespace pennial
