#pragma once
// What the field text cache decides, apart from the bus: which text of a field is kept, when the
// kept text may stand for the field's text, and what is published for a field at rest. The cache
// (AtspiTextCache) tells it what the bus brings, with the count of key presses so far and the
// time; it asks nothing of any other process. Its rules are described with the cache.
// The accessibility thread only, but for quietText and quietUntil.

#include "platform/accessibility.hpp"
#include "platform/linux/atspi/key_settle.hpp"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace pennial {

class KeptFieldText {
public:
    using Clock = std::chrono::steady_clock;
    // A field by its application's name on the bus and its object's path.
    struct Field {
        std::string busName;
        std::string path;
        bool operator==(const Field&) const = default;
    };
    // The handle published for a field at rest, made only when another field is published.
    using MakeElement = std::function<AXElement()>;

    static constexpr std::chrono::seconds maxAge{1};
    // How many applications are remembered for whether they report their fields' changes.
    static constexpr std::size_t applicationLimit = 64;

    // restChanged: told of every change to what is published at rest (DesktopActivity's count).
    explicit KeptFieldText(std::function<void()> restChanged);

    // Whether the field's kept text may stand for its text now, once its application has answered
    // a ping (the reports it sent before are taken first). field: none for a field without a name
    // on the bus; keyPresses: the count so far.
    bool mayHandOut(const std::optional<Field>& field, std::uint64_t keyPresses,
                    Clock::time_point now);
    // After that ping: the kept text, confirmed as of keyPresses (counted before the ping), unless
    // a report took it meanwhile.
    std::optional<std::string> handOut(const Field& field, const MakeElement& element,
                                       std::uint64_t keyPresses, Clock::time_point now);

    // A read of the field's text begins.
    void reading(const std::optional<Field>& field, std::uint64_t keyPresses);
    // The text that read gave: kept unless a report from the field's application came in while
    // it went on (the text may then be half old, half new). A text that differs from the one
    // kept, with no report from the application between the two reads, shows an application that
    // does not report its changes.
    void store(const std::optional<Field>& field, const MakeElement& element, std::string text,
               Clock::time_point now);
    // Drops what is known of the field's text (it is being written).
    void forget();
    // A report from source's application (none: from a source without a name on the bus); one of
    // a text change shows an application that reports them. True when the field last read says
    // its text or caret changed: the poll then looks at once.
    bool reported(const std::optional<Field>& source, bool textChanged, bool focusReport);

    // Whether the field's application is taken to report every change of its fields' text: until
    // one of them is seen to change without a report, it is.
    bool reportsChanges(const Field& field) const;

    // The field's text as last confirmed, while no key was pressed (keyPresses is the count now)
    // and no report came from the field's application since, and for less than maxAge.
    std::optional<std::string> quietText(const AXElementHandle& field, std::uint64_t keyPresses,
                                         Clock::time_point now) const;
    // While quietText answers for the field: until when it answers. A change of the text it
    // answers is told to restChanged; the same text confirmed again only extends it.
    std::optional<Clock::time_point>
    quietUntil(const AXElementHandle& field, std::uint64_t keyPresses, Clock::time_point now) const;

private:
    struct Entry {
        Field field;
        std::string text;
        Clock::time_point readAt;
    };
    // The text confirmed at a count of key presses, for other threads.
    struct Confirmed {
        AXElement element;
        Field field;
        std::string text;
        Clock::time_point at;
        std::uint64_t keyPresses = 0;
    };

    void confirm(const Field& field, const MakeElement& element, const std::string& text,
                 std::uint64_t keyPresses, Clock::time_point now);
    void dropConfirmed(const std::optional<Field>& reporter);
    // What was last seen of the application named busName.
    void learn(const std::string& busName, bool reports);
    // Under confirmedMutex_.
    bool answersQuietly(const AXElementHandle& field, std::uint64_t keyPresses,
                        Clock::time_point now) const;

    const std::function<void()> restChanged_;
    std::optional<Entry> entry_;
    struct Application {
        std::string busName;
        bool reports = true;
    };
    std::deque<Application> applications_; // the most recently seen first
    std::optional<Field> reading_;
    std::uint64_t keyPressesAtReading_ = 0;
    bool readingOvertaken_ = false;
    std::optional<Field> lastRead_; // whose reports wake the poll
    KeySettle settle_;

    mutable std::mutex confirmedMutex_;
    std::optional<Confirmed> confirmed_;
};

} // namespace pennial
