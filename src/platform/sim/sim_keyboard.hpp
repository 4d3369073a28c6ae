#pragma once
// The simulated desktop's keyboard. A key press goes to the focused field as a real application
// would take it (text inserted at the caret, Backspace, Return in a multi-line field, Control+A
// and Control+V) and is then delivered to every observer, on the observer's executor, in the
// order the keys were pressed.

#include "base/runtime.hpp"
#include "platform/keyboard.hpp"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pennial {

struct SimDesktopState;
class SimElement;

class SimKeyboard : public std::enable_shared_from_this<SimKeyboard> {
public:
    explicit SimKeyboard(std::shared_ptr<SimDesktopState> state);

    // One key-down. Of the chords (Control, Command or Function held) the fields know two:
    // Control+A selects all, Control+V pastes the clipboard's text over the selection. The others
    // reach the observers but edit nothing.
    void press(Key key, unsigned modifiers = 0, std::string characters = {});
    // One key per character (grapheme cluster); "\n" is pressed as Return.
    void type(std::string_view text);

    // The user's keys (press, type) held back: each reaches the field and the observers at
    // release, in order. A program's keys (pressByProgram) are never held.
    void hold();
    void release();
    void pressByProgram(Key key, unsigned modifiers, std::string characters);

    // A source of this keyboard's key-downs whose observer runs on executor.
    std::shared_ptr<KeyEventSource> eventSource(Executor executor);
    // Whether the system lets this process observe key events; sources refuse to start without it.
    void setObservingAllowed(bool allowed);
    std::size_t observerCount() const;

private:
    class Source;
    struct Observer {
        Executor executor;
        std::function<void(const KeyDownEvent&)> handler;
    };

    void deliver(const KeyDownEvent& event);
    void edit(const KeyDownEvent& event);
    void shortcut(SimElement& field, const std::string& letter);
    // Shift+Right: the selection takes in the character after it.
    void extendSelection(SimElement& field);
    bool addObserver(const Source* source, Observer observer);
    void removeObserver(const Source* source);

    std::shared_ptr<SimDesktopState> state_;
    mutable std::mutex mutex_; // guards the members below
    bool observingAllowed_ = true;
    bool held_ = false;
    std::vector<KeyDownEvent> heldKeys_;
    std::map<const Source*, Observer> observers_;
};

} // namespace pennial
