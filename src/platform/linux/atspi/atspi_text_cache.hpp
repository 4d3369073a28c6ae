#pragma once
// The text last read from a field, handed out again while nothing says the field has changed, so
// that polling a field nobody types in costs no reading of its text. Applications report each
// change of a field's text on the bus ("object:text-changed:*"); such reports, caret moves and
// focus changes in the field's application drop the text, and the next read goes to the field.
// Only a field that has reported a change of its own is trusted to report the next one, and even
// then its text is read again at least every second.
//
// A report may still be on its way when the text is asked for. So before a kept text is handed
// out, the field's application is pinged: it answers after every report it sent before, and those
// are handled first. The text handed out is then as fresh as a read of the field would have been.
//
// While no key is pressed and the field's application reports nothing, nothing can have changed
// the field: the text last confirmed is then published for other threads too, so that a poll of a
// field at rest asks no other process, nor this thread, anything for up to a second.
//
// A key press may reach us before the application has taken it (and answers the ping): for a
// short while after a key the field itself is read, and only then is a text kept or published
// again (KeySettle).
// Accessibility thread only, but for quietText.

#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"
#include "platform/linux/atspi/key_settle.hpp"

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace pennial {

class AtspiTextCache {
public:
    static constexpr std::chrono::seconds maxAge{1};
    // How many fields that have reported a change are remembered as trusted.
    static constexpr std::size_t trustedFieldLimit = 32;

    AtspiTextCache();
    ~AtspiTextCache();
    AtspiTextCache(const AtspiTextCache&) = delete;
    AtspiTextCache& operator=(const AtspiTextCache&) = delete;

    // The field's text as last read, when it is still the field's text; none means read it (and
    // the call holds the failure when the application did not answer).
    std::optional<std::string> text(AtspiCall& call, AtspiAccessible* field);
    // A read of the field's text begins.
    void reading(AtspiAccessible* field);
    // The text that read gave: kept unless a report from the field's application came in while
    // it went on (the text may then be half old, half new).
    void store(AtspiAccessible* field, std::string text);
    // Drops what is known of the field's text (it is being written).
    void forget();

    // The field's text as last confirmed, while no key was pressed and no report came from the
    // field's application since, and for less than maxAge. Any thread.
    std::optional<std::string> quietText(const AtspiElement& field) const;
    // While quietText answers for the field: until when it answers. A change of the text it
    // answers is counted in DesktopActivity's rest changes; the same text confirmed again only
    // extends it. Any thread.
    std::optional<std::chrono::steady_clock::time_point>
    quietUntil(const AtspiElement& field) const;

private:
    struct Identity {
        std::string busName;
        std::string path;
        bool operator==(const Identity&) const = default;
    };
    struct Entry {
        Identity field;
        std::string text;
        std::chrono::steady_clock::time_point readAt;
    };

    // The text confirmed at a count of key presses, for other threads.
    struct Confirmed {
        AXElement field;
        Identity identity;
        std::string text;
        std::chrono::steady_clock::time_point at;
        std::uint64_t keyPresses = 0;
    };

    static std::optional<Identity> identityOf(AtspiAccessible* accessible);
    void confirm(AtspiAccessible* field, const std::string& text, std::uint64_t keyPresses);
    void dropConfirmed(const std::optional<Identity>& reporter);
    static void onEvent(AtspiEvent* event, void* self);
    void changed(AtspiAccessible* source, bool textChanged, bool focusReport);
    bool isTrusted(const Identity& field) const;
    // Under confirmedMutex_.
    bool answersQuietly(const AtspiElement& field) const;
    // Handles the reports already received.
    void takeReports();

    AtspiEventListener* listener_ = nullptr;
    std::optional<Entry> entry_;
    std::deque<Identity> trusted_; // the most recent reporter first
    std::optional<Identity> reading_;
    std::uint64_t keyPressesAtReading_ = 0;
    bool readingOvertaken_ = false;
    std::optional<Identity> lastRead_; // whose reports wake the poll
    KeySettle settle_;

    mutable std::mutex confirmedMutex_;
    std::optional<Confirmed> confirmed_;
};

} // namespace pennial
