#include "platform/sim/sim_keyboard.hpp"

#include "base/unicode.hpp"
#include "platform/sim/sim_desktop_state.hpp"

#include <asio/post.hpp>

namespace pennial {

namespace {

constexpr unsigned chordModifiers =
    KeyModifier::control | KeyModifier::command | KeyModifier::function;

// Deletes the selection, or the character before the caret.
void deleteBackward(SimElement& field) {
    auto selection = field.selection();
    if (selection.length == 0) {
        auto text = field.text();
        auto caret =
            unicode::byteOffsetForUtf16(text, static_cast<std::size_t>(selection.location));
        if (!caret || *caret == 0)
            return;
        auto kept = unicode::dropLastGrapheme(std::string_view(text).substr(0, *caret));
        auto start = static_cast<std::int64_t>(unicode::utf16Length(kept));
        field.setSelection({start, selection.location - start});
    }
    field.insertText("");
}

} // namespace

class SimKeyboard::Source : public KeyEventSource {
public:
    Source(std::weak_ptr<SimKeyboard> keyboard, Executor executor)
        : keyboard_(std::move(keyboard)), executor_(std::move(executor)) {}
    ~Source() override { stopObserving(); }

    bool startObserving(std::function<void(const KeyDownEvent&)> onKeyDown) override {
        auto keyboard = keyboard_.lock();
        return keyboard && keyboard->addObserver(this, {executor_, std::move(onKeyDown)});
    }
    void stopObserving() override {
        if (auto keyboard = keyboard_.lock())
            keyboard->removeObserver(this);
    }

private:
    std::weak_ptr<SimKeyboard> keyboard_;
    Executor executor_;
};

SimKeyboard::SimKeyboard(std::shared_ptr<SimDesktopState> state) : state_(std::move(state)) {}

void SimKeyboard::press(Key key, unsigned modifiers, std::string characters) {
    KeyDownEvent event{key, modifiers, std::move(characters)};
    {
        std::lock_guard lock(mutex_);
        if (held_) {
            heldKeys_.push_back(std::move(event));
            return;
        }
    }
    deliver(event);
}

void SimKeyboard::pressByProgram(Key key, unsigned modifiers, std::string characters) {
    deliver({key, modifiers, std::move(characters)});
}

void SimKeyboard::hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
}

void SimKeyboard::release() {
    std::vector<KeyDownEvent> keys;
    {
        std::lock_guard lock(mutex_);
        held_ = false;
        keys.swap(heldKeys_);
    }
    for (const auto& event : keys)
        deliver(event);
}

void SimKeyboard::deliver(const KeyDownEvent& event) {
    edit(event);
    std::vector<Observer> observers;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [source, observer] : observers_)
            observers.push_back(observer);
    }
    for (auto& observer : observers)
        asio::post(observer.executor, [handler = observer.handler, event] { handler(event); });
}

void SimKeyboard::type(std::string_view text) {
    while (!text.empty()) {
        auto character = unicode::graphemePrefix(text, 1);
        text.remove_prefix(character.size());
        if (character == "\n")
            press(Key::returnKey, 0, "\r");
        else
            press(Key::other, 0, std::move(character));
    }
}

void SimKeyboard::edit(const KeyDownEvent& event) {
    SimElementPtr field;
    {
        std::lock_guard lock(state_->mutex);
        field = state_->focused.lock();
    }
    if (!field || field->isDestroyed() || !field->isTextField())
        return;
    if ((event.modifiers & chordModifiers) != 0) {
        if (event.modifiers == KeyModifier::control && event.key == Key::other)
            shortcut(*field, event.characters);
        return;
    }
    switch (event.key) {
    case Key::returnKey:
    case Key::keypadEnter:
        if (field->role() == ax::role::textArea)
            field->insertText("\n");
        break;
    case Key::backspace:
        deleteBackward(*field);
        break;
    case Key::rightArrow:
        if (event.modifiers == KeyModifier::shift)
            extendSelection(*field);
        break;
    case Key::other:
        if (!event.characters.empty())
            field->insertText(event.characters);
        break;
    default: // navigation keys move nothing here
        break;
    }
}

void SimKeyboard::extendSelection(SimElement& field) {
    const auto text = unicode::toUtf16(field.text());
    const auto selection = field.selection();
    const auto end = static_cast<std::size_t>(selection.location + selection.length);
    if (end >= text.size())
        return;
    const bool pair = text[end] >= 0xD800 && text[end] <= 0xDBFF && end + 1 < text.size();
    field.setSelection({selection.location, selection.length + (pair ? 2 : 1)});
}

void SimKeyboard::shortcut(SimElement& field, const std::string& letter) {
    if (letter == "a") {
        field.setSelection({0, static_cast<std::int64_t>(unicode::utf16Length(field.text()))});
    } else if (letter == "v" && field.acceptsPaste()) {
        if (auto text = state_->clipboard->text())
            field.insertText(*text);
    }
}

std::shared_ptr<KeyEventSource> SimKeyboard::eventSource(Executor executor) {
    return std::make_shared<Source>(weak_from_this(), std::move(executor));
}

void SimKeyboard::setObservingAllowed(bool allowed) {
    std::lock_guard lock(mutex_);
    observingAllowed_ = allowed;
}

std::size_t SimKeyboard::observerCount() const {
    std::lock_guard lock(mutex_);
    return observers_.size();
}

bool SimKeyboard::addObserver(const Source* source, Observer observer) {
    std::lock_guard lock(mutex_);
    if (!observingAllowed_)
        return false;
    observers_.insert_or_assign(source, std::move(observer));
    return true;
}

void SimKeyboard::removeObserver(const Source* source) {
    std::lock_guard lock(mutex_);
    observers_.erase(source);
}

} // namespace pennial
