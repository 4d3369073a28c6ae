#include "platform/linux/atspi/kept_field_text.hpp"

#include <algorithm>

namespace pennial {

KeptFieldText::KeptFieldText(std::function<void()> restChanged)
    : restChanged_(std::move(restChanged)) {}

bool KeptFieldText::mayHandOut(const std::optional<Field>& field, std::uint64_t keyPresses,
                               Clock::time_point now) {
    lastRead_ = field;
    // Asked first: the settle counts every key press the reads see.
    if (!settle_.mayKeep(keyPresses, now))
        return false;
    return entry_ && field && entry_->field == *field && reportsChanges(*field) &&
           now - entry_->readAt < maxAge;
}

std::optional<std::string> KeptFieldText::handOut(const Field& field, const MakeElement& element,
                                                  std::uint64_t keyPresses, Clock::time_point now) {
    if (!entry_ || !(entry_->field == field))
        return std::nullopt;
    // Confirmed as of its read, not of now: a field left unread is trusted for a second at most.
    confirm(field, element, entry_->text, keyPresses, std::min(entry_->readAt, now));
    return entry_->text;
}

void KeptFieldText::confirm(const Field& field, const MakeElement& element, const std::string& text,
                            std::uint64_t keyPresses, Clock::time_point now) {
    std::lock_guard lock(confirmedMutex_);
    if (confirmed_ && confirmed_->field == field) {
        const bool same = confirmed_->text == text && confirmed_->keyPresses == keyPresses;
        confirmed_->text = text;
        confirmed_->at = now;
        confirmed_->keyPresses = keyPresses;
        if (!same)
            restChanged_();
        return;
    }
    confirmed_ = Confirmed{element(), field, text, now, keyPresses};
    restChanged_();
}

void KeptFieldText::dropConfirmed(const std::optional<Field>& reporter) {
    std::lock_guard lock(confirmedMutex_);
    if (confirmed_ && (!reporter || reporter->busName == confirmed_->field.busName)) {
        confirmed_.reset();
        restChanged_();
    }
}

std::optional<std::string> KeptFieldText::quietText(const AXElementHandle& field,
                                                    std::uint64_t keyPresses,
                                                    Clock::time_point now) const {
    std::lock_guard lock(confirmedMutex_);
    if (!answersQuietly(field, keyPresses, now))
        return std::nullopt;
    return confirmed_->text;
}

std::optional<KeptFieldText::Clock::time_point>
KeptFieldText::quietUntil(const AXElementHandle& field, std::uint64_t keyPresses,
                          Clock::time_point now) const {
    std::lock_guard lock(confirmedMutex_);
    if (!answersQuietly(field, keyPresses, now))
        return std::nullopt;
    return confirmed_->at + maxAge;
}

bool KeptFieldText::answersQuietly(const AXElementHandle& field, std::uint64_t keyPresses,
                                   Clock::time_point now) const {
    return confirmed_ && confirmed_->element && field.sameElement(*confirmed_->element.handle()) &&
           confirmed_->keyPresses == keyPresses && now - confirmed_->at < maxAge;
}

void KeptFieldText::reading(const std::optional<Field>& field, std::uint64_t keyPresses) {
    reading_ = field;
    lastRead_ = field;
    keyPressesAtReading_ = keyPresses;
    readingOvertaken_ = false;
}

void KeptFieldText::store(const std::optional<Field>& field, const MakeElement& element,
                          std::string text, Clock::time_point now) {
    const bool whole = field && reading_ == field && !readingOvertaken_;
    reading_.reset();
    if (!whole) {
        entry_.reset();
        return;
    }
    // Any report from the application since the kept text was read would have dropped it.
    if (entry_ && entry_->field == *field && entry_->text != text) {
        learn(field->busName, false);
        dropConfirmed(field);
    }
    // Only a field that reports its changes can be left unread while it reports none, and only
    // once the last key has had its effect.
    if (reportsChanges(*field) && settle_.mayKeep(keyPressesAtReading_, now))
        confirm(*field, element, text, keyPressesAtReading_, now);
    entry_ = Entry{*field, std::move(text), now};
}

void KeptFieldText::forget() {
    entry_.reset();
    dropConfirmed(std::nullopt);
}

bool KeptFieldText::reportsChanges(const Field& field) const {
    auto known =
        std::find_if(applications_.begin(), applications_.end(),
                     [&](const Application& seen) { return seen.busName == field.busName; });
    return known == applications_.end() || known->reports;
}

void KeptFieldText::learn(const std::string& busName, bool reports) {
    std::erase_if(applications_, [&](const Application& seen) { return seen.busName == busName; });
    applications_.push_front({busName, reports});
    if (applications_.size() > applicationLimit)
        applications_.pop_back();
}

bool KeptFieldText::reported(const std::optional<Field>& source, bool textChanged,
                             bool focusReport) {
    if (textChanged && source)
        learn(source->busName, true);
    // Anything in the field's application may be the field (or say it changed): its text goes.
    auto inApplicationOf = [&](const Field& field) {
        return !source || source->busName == field.busName;
    };
    if (entry_ && inApplicationOf(entry_->field))
        entry_.reset();
    if (reading_ && inApplicationOf(*reading_))
        readingOvertaken_ = true;
    dropConfirmed(source);
    // A focus report is left to the poll's own time.
    return source && source == lastRead_ && !focusReport;
}

} // namespace pennial
