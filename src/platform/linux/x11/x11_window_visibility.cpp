#include "platform/linux/x11/x11_window_visibility.hpp"

#include "platform/linux/x11/x11_connection.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <optional>
#include <vector>

namespace pennial {

namespace {

struct Box {
    long left, top, right, bottom; // right and bottom exclusive
    bool empty() const { return left >= right || top >= bottom; }
};

Box intersection(const Box& a, const Box& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// What is left of the boxes once cover is taken away (each box splits into at most four).
std::vector<Box> subtract(const std::vector<Box>& boxes, const Box& cover) {
    std::vector<Box> left;
    for (const Box& box : boxes) {
        const Box cut = intersection(box, cover);
        if (cut.empty()) {
            left.push_back(box);
            continue;
        }
        for (const Box& piece : {Box{box.left, box.top, box.right, cut.top},
                                 Box{box.left, cut.bottom, box.right, box.bottom},
                                 Box{box.left, cut.top, cut.left, cut.bottom},
                                 Box{cut.right, cut.top, box.right, cut.bottom}})
            if (!piece.empty())
                left.push_back(piece);
    }
    return left;
}

// The values of a 32-bit property (Xlib hands them over as longs).
std::vector<unsigned long> longsProperty(Display* display, Window window, Atom property,
                                         Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display, window, property, 0, 65536, False, type, &actualType, &format,
                           &count, &remaining, &data) == Success &&
        data && format == 32) {
        const auto* longs = reinterpret_cast<const unsigned long*>(data);
        values.assign(longs, longs + count);
    }
    if (data)
        XFree(data);
    return values;
}

std::optional<unsigned long> cardinal(Display* display, Window window, const char* name) {
    auto values = longsProperty(display, window, XInternAtom(display, name, False), XA_CARDINAL);
    if (values.empty())
        return std::nullopt;
    return values.front();
}

bool isHidden(Display* display, Window window) {
    const Atom hidden = XInternAtom(display, "_NET_WM_STATE_HIDDEN", False);
    for (unsigned long state :
         longsProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM))
        if (state == hidden)
            return true;
    return false;
}

// On the workspace shown now, or on every workspace.
bool isOnCurrentDesktop(Display* display, Window window) {
    constexpr unsigned long allDesktops = 0xFFFFFFFF;
    const auto current = cardinal(display, DefaultRootWindow(display), "_NET_CURRENT_DESKTOP");
    const auto desktop = cardinal(display, window, "_NET_WM_DESKTOP");
    return !current || !desktop || *desktop == allDesktops || *desktop == *current;
}

// The window's client area in root coordinates, or none when it is not viewable.
std::optional<Box> clientBox(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return std::nullopt;
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return Box{x, y, x + attributes.width, y + attributes.height};
}

// The client area with the window manager's frame around it.
Box frameBox(Display* display, Window window, const Box& client) {
    auto extents = longsProperty(display, window, XInternAtom(display, "_NET_FRAME_EXTENTS", False),
                                 XA_CARDINAL);
    if (extents.size() != 4)
        return client;
    // Left, right, top, bottom.
    return {client.left - static_cast<long>(extents[0]), client.top - static_cast<long>(extents[2]),
            client.right + static_cast<long>(extents[1]),
            client.bottom + static_cast<long>(extents[3])};
}

} // namespace

struct X11WindowVisibility::Connection {
    DisplayHandle display;
};

std::shared_ptr<X11WindowVisibility> X11WindowVisibility::open() {
    auto display = openDisplay();
    if (!display)
        return nullptr;
    return std::shared_ptr<X11WindowVisibility>(
        new X11WindowVisibility(std::make_unique<Connection>(std::move(display))));
}

X11WindowVisibility::X11WindowVisibility(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

X11WindowVisibility::~X11WindowVisibility() = default;

bool X11WindowVisibility::isWindowSeen(std::uint64_t nativeWindow) {
    Display* display = connection_->display.get();
    const auto window = static_cast<Window>(nativeWindow);
    // A window that goes away while it is read is an error to collect, not the end of us.
    X11ErrorTrap quiet(display);
    const auto client = clientBox(display, window);
    if (!client || isHidden(display, window) || !isOnCurrentDesktop(display, window))
        return false;

    XWindowAttributes root;
    XGetWindowAttributes(display, DefaultRootWindow(display), &root);
    std::vector<Box> uncovered{intersection(*client, Box{0, 0, root.width, root.height})};
    const auto stacking =
        longsProperty(display, DefaultRootWindow(display),
                      XInternAtom(display, "_NET_CLIENT_LIST_STACKING", False), XA_WINDOW);
    // Bottom to top: what comes after our window lies above it.
    bool above = false;
    for (unsigned long other : stacking) {
        if (other == window) {
            above = true;
            continue;
        }
        if (!above || isHidden(display, other) || !isOnCurrentDesktop(display, other))
            continue;
        if (const auto rect = clientBox(display, other))
            uncovered = subtract(uncovered, frameBox(display, other, *rect));
    }
    return std::any_of(uncovered.begin(), uncovered.end(),
                       [](const Box& box) { return !box.empty(); });
}

} // namespace pennial
