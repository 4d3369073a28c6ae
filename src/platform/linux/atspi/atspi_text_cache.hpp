#pragma once
// The text last read from a field, handed out again while nothing says the field has changed, so
// that polling a field nobody types in costs no reading of its text. Applications report each
// change of a field's text on the bus ("object:text-changed:*"); such reports, caret moves and
// focus changes in the field's application drop the text, and the next read goes to the field.
// An application is trusted to report its fields' changes until one of its fields is read changed
// with no report between (one report of a text change trusts it again), and even then a field's
// text is read again at least every second.
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
//
// The decisions are KeptFieldText's; this class brings it the bus's reports and pings.
// Accessibility thread only, but for quietText.

#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"
#include "platform/linux/atspi/kept_field_text.hpp"

#include <chrono>
#include <optional>
#include <string>

namespace pennial {

class AtspiTextCache {
public:
    static constexpr auto maxAge = KeptFieldText::maxAge;

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
    static std::optional<KeptFieldText::Field> identityOf(AtspiAccessible* accessible);
    static void onEvent(AtspiEvent* event, void* self);
    // Handles the reports already received.
    void takeReports();

    AtspiEventListener* listener_ = nullptr;
    KeptFieldText kept_;
};

} // namespace pennial
