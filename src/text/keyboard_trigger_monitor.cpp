#include "text/keyboard_trigger_monitor.hpp"

#include "base/unicode.hpp"

#include <asio/post.hpp>

namespace pennial {

namespace {

// Shortcuts edit the text in ways a key stream cannot follow; Shift, AltGr and Caps Lock only
// change the character typed.
constexpr unsigned chordModifiers =
    KeyModifier::control | KeyModifier::alt | KeyModifier::command | KeyModifier::function;

// Keys that move the caret or leave the field: what follows no longer continues the buffer.
bool clearsBuffer(Key key) {
    switch (key) {
    case Key::tab:
    case Key::escape:
    case Key::home:
    case Key::end:
    case Key::pageUp:
    case Key::pageDown:
    case Key::forwardDelete:
    case Key::leftArrow:
    case Key::rightArrow:
    case Key::upArrow:
    case Key::downArrow:
        return true;
    default:
        return false;
    }
}

} // namespace

KeyboardTriggerMonitor::KeyboardTriggerMonitor(TextHandler onTextChanged, Facilities facilities)
    : onTextChanged_(std::move(onTextChanged)), facilities_(std::move(facilities)) {}

void KeyboardTriggerMonitor::start() {
    asio::post(facilities_.mainExecutor, [self = shared_from_this()] { self->startNow(); });
}

void KeyboardTriggerMonitor::stop() {
    asio::post(facilities_.mainExecutor, [self = shared_from_this()] { self->stopNow(); });
}

void KeyboardTriggerMonitor::setSecureFieldFocused(bool focused) {
    asio::post(facilities_.mainExecutor, [self = shared_from_this(), focused] {
        self->secureFieldFocused_ = focused;
        if (focused)
            self->recentText_.clear();
    });
}

void KeyboardTriggerMonitor::startNow() {
    if (eventMonitor_)
        return;
    resetForActiveApp();
    // Both observers already run on the main executor; they hold the monitor weakly so that an
    // event arriving after it was dropped does nothing.
    std::weak_ptr<KeyboardTriggerMonitor> weak = weak_from_this();
    activationObserver_ = facilities_.workspace->observeApplicationActivation(
        facilities_.mainExecutor, [weak](const RunningApplication&) {
            if (auto self = weak.lock())
                self->resetForActiveApp();
        });
    eventMonitor_ = facilities_.keyEvents->startObserving([weak](const KeyDownEvent& event) {
        if (auto self = weak.lock())
            self->handle(event);
    });
}

void KeyboardTriggerMonitor::stopNow() {
    activationObserver_.reset();
    if (eventMonitor_) {
        facilities_.keyEvents->stopObserving();
        eventMonitor_ = false;
    }
    currentPID_ = 0;
    recentText_.clear();
    secureFieldFocused_ = false;
}

void KeyboardTriggerMonitor::resetForActiveApp() {
    auto frontmost = facilities_.workspace->frontmostApplication();
    currentPID_ = frontmost ? frontmost->processIdentifier : 0;
    recentText_.clear();
    report();
}

void KeyboardTriggerMonitor::handle(const KeyDownEvent& event) {
    if (secureFieldFocused_)
        return;
    if (auto frontmost = facilities_.workspace->frontmostApplication();
        frontmost && frontmost->processIdentifier != currentPID_) {
        currentPID_ = frontmost->processIdentifier;
        recentText_.clear();
    }
    if ((event.modifiers & chordModifiers) != 0 || clearsBuffer(event.key)) {
        recentText_.clear();
    } else if (event.key == Key::returnKey || event.key == Key::keypadEnter) {
        recentText_ += '\n';
        trimIfNeeded();
    } else if (event.key == Key::backspace) {
        if (recentText_.empty())
            return;
        recentText_ = unicode::dropLastGrapheme(recentText_);
    } else {
        if (event.characters.empty())
            return;
        recentText_ += event.characters;
        trimIfNeeded();
    }
    report();
}

void KeyboardTriggerMonitor::trimIfNeeded() {
    auto count = unicode::graphemeCount(recentText_);
    if (count <= maxTrackedCharacters)
        return;
    auto dropped = unicode::graphemePrefix(recentText_, count - maxTrackedCharacters);
    recentText_.erase(0, dropped.size());
}

void KeyboardTriggerMonitor::report() {
    onTextChanged_(recentText_, currentPID_);
}

} // namespace pennial
