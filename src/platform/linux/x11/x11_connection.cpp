#include "platform/linux/x11/x11_connection.hpp"

#include <algorithm>
#include <atomic>

namespace pennial {

DisplayHandle openDisplay() {
    return DisplayHandle(XOpenDisplay(nullptr));
}

std::unique_ptr<X11Connection> X11Connection::open(EventHandler onEvent) {
    DisplayHandle display = openDisplay();
    if (!display)
        return nullptr;
    return std::unique_ptr<X11Connection>(
        new X11Connection(std::move(display), std::move(onEvent)));
}

X11Connection::X11Connection(DisplayHandle display, EventHandler onEvent)
    : display_(std::move(display)), onEvent_(std::move(onEvent)), work_(io_.get_executor()),
      socket_(io_, ConnectionNumber(display_.get())) {
    awaitEvents();
    thread_ = std::thread([this] { io_.run(); });
}

X11Connection::~X11Connection() {
    io_.stop();
    thread_.join();
    // The descriptor belongs to Xlib, which closes it with the display.
    socket_.release();
}

void X11Connection::awaitEvents() {
    socket_.async_wait(asio::posix::stream_descriptor::wait_read, [this](std::error_code error) {
        if (error)
            return;
        dispatchQueuedEvents();
        awaitEvents();
    });
}

void X11Connection::dispatchQueuedEvents() {
    Display* display = display_.get();
    // XPending reads whatever the socket holds, so the socket only wakes us for new data.
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (onEvent_)
            onEvent_(display, event);
    }
}

namespace {
std::mutex trapMutex;
std::atomic<X11ErrorTrap*> activeTrap = nullptr;
} // namespace

X11ErrorTrap::X11ErrorTrap(Display* display)
    : lock_(trapMutex), display_(display), previous_(XSetErrorHandler(&X11ErrorTrap::handleError)) {
    activeTrap = this;
}

X11ErrorTrap::~X11ErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
    activeTrap = nullptr;
}

bool X11ErrorTrap::caught(unsigned char errorCode) {
    XSync(display_, False);
    return std::find(errorCodes_.begin(), errorCodes_.end(), errorCode) != errorCodes_.end();
}

int X11ErrorTrap::handleError(Display* display, XErrorEvent* error) {
    // Errors of the trapped display arrive on the trap's own thread (inside its XSync); those of
    // other displays go on to whichever handler was there before.
    X11ErrorTrap* trap = activeTrap;
    if (trap && trap->display_ == display) {
        trap->errorCodes_.push_back(error->error_code);
        return 0;
    }
    return trap && trap->previous_ ? trap->previous_(display, error) : 0;
}

} // namespace pennial
