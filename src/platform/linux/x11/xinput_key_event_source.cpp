#include "platform/linux/x11/xinput_key_event_source.hpp"

#include "base/log.hpp"
#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_keymap.hpp"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>

namespace pennial {

namespace {

// Raw events during another client's grab need XInput 2.1.
bool queryRawEvents(Display* display, int* opcode) {
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "XInputExtension", opcode, &event, &error))
        return false;
    int major = 2;
    int minor = 2;
    return XIQueryVersion(display, &major, &minor) == Success && (major > 2 || minor >= 1);
}

} // namespace

// Lives on the connection's thread: the keymap and the keyboard state as the server reports them.
struct XInputKeyEventSource::Reader {
    explicit Reader(EventRelay<KeyDownEvent> target) : relay(std::move(target)) {}

    bool setUp(Display* display) {
        int xkbOpcode = 0;
        int xkbError = 0;
        int xkbMajor = XkbMajorVersion;
        int xkbMinor = XkbMinorVersion;
        if (!queryRawEvents(display, &xinputOpcode) ||
            !XkbQueryExtension(display, &xkbOpcode, &xkbEventBase, &xkbError, &xkbMajor, &xkbMinor))
            return false;
        keymap = std::make_unique<X11Keymap>(display);

        // The state is followed through its notifications, which the server sends between the raw
        // events in the order things happened: a press of Shift is known before the next key's.
        // Asking for the state at each press would instead see a Shift already released.
        XkbStateRec current{};
        XkbGetState(display, XkbUseCoreKbd, &current);
        state = current.lookup_mods;
        group = current.group;
        XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbAllStateComponentsMask,
                              XkbAllStateComponentsMask);
        const unsigned long mapChanges = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
        XkbSelectEvents(display, XkbUseCoreKbd, mapChanges, mapChanges);

        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        XSync(display, False);
        return true;
    }

    void onEvent(Display* display, XEvent& event) {
        if (keymap && event.type == xkbEventBase) {
            const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
            if (xkb.any.xkb_type == XkbStateNotify) {
                state = xkb.state.lookup_mods;
                group = xkb.state.group;
            } else if (xkb.any.xkb_type == XkbMapNotify ||
                       xkb.any.xkb_type == XkbNewKeyboardNotify) {
                keymap->reload();
            }
            return;
        }
        if (event.type != GenericEvent || event.xcookie.extension != xinputOpcode ||
            !XGetEventData(display, &event.xcookie))
            return;
        if (event.xcookie.evtype == XI_RawKeyPress) {
            DesktopActivity::instance().keyPressed();
            const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
            if (auto keyDown = keymap->keyDown(static_cast<unsigned>(raw->detail), state, group))
                relay.post(std::move(*keyDown));
        }
        XFreeEventData(display, &event.xcookie);
    }

    EventRelay<KeyDownEvent> relay;
    int xinputOpcode = 0;
    int xkbEventBase = 0;
    std::unique_ptr<X11Keymap> keymap;
    unsigned state = 0;
    int group = 0;
};

XInputKeyEventSource::XInputKeyEventSource(Executor mainExecutor)
    : main_(std::move(mainExecutor)) {}

XInputKeyEventSource::~XInputKeyEventSource() {
    stopObserving();
}

bool XInputKeyEventSource::isAvailable() {
    DisplayHandle display = openDisplay();
    int opcode = 0;
    return display && queryRawEvents(display.get(), &opcode);
}

bool XInputKeyEventSource::startObserving(std::function<void(const KeyDownEvent&)> onKeyDown) {
    if (connection_) {
        relay_->setHandler(std::move(onKeyDown));
        return true;
    }
    EventRelay<KeyDownEvent> relay(main_, std::move(onKeyDown));
    auto reader = std::make_unique<Reader>(relay);
    auto connection = X11Connection::open([reader = reader.get()](Display* display, XEvent& event) {
        reader->onEvent(display, event);
    });
    if (!connection)
        return false;
    if (!connection->call([&reader](Display* display) { return reader->setUp(display); }))
        return false;
    relay_.emplace(std::move(relay));
    reader_ = std::move(reader);
    connection_ = std::move(connection);
    return true;
}

void XInputKeyEventSource::stopObserving() {
    connection_.reset();
    reader_.reset();
    if (relay_)
        relay_->close();
    relay_.reset();
}

std::unique_ptr<KeyEventSource> makeKeyEventSource(Executor mainExecutor) {
    if (XInputKeyEventSource::isAvailable())
        logLine("🔵 [Platform] Using XInput2 key events");
    else
        logLine(
            "⚠️ [Platform] XInput2 raw key events are not available; typed keys are not seen");
    return std::make_unique<XInputKeyEventSource>(std::move(mainExecutor));
}

} // namespace pennial
