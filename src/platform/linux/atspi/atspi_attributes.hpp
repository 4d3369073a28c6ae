#pragma once
// The attributes callers read and write, answered from the accessibility bus: one request at a
// time, on the accessibility thread, for an element already found. What the bus has no answer for
// (text markers, the flags some toolkits need before they build their trees) is unsupported.

#include "platform/accessibility.hpp"
#include "platform/linux/atspi/atspi_applications.hpp"
#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_focus_snapshot.hpp"
#include "platform/linux/atspi/atspi_focus_tracker.hpp"
#include "platform/linux/atspi/atspi_rich_field.hpp"
#include "platform/linux/atspi/atspi_text.hpp"
#include "platform/linux/atspi/atspi_text_cache.hpp"
#include "platform/linux/atspi/atspi_window_activations.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pennial {

// What the window system knows and the bus does not.
struct AtspiDesktopHooks {
    // The process whose window is active.
    std::function<std::optional<Pid>()> activeWindowProcess;
    // When the active window last changed.
    std::function<std::optional<std::chrono::steady_clock::time_point>()> activeWindowSince;
    // The screen position of the process's top-level window with this title.
    std::function<std::optional<Point>(Pid, const std::string& title)> windowOrigin;
    // Set only where the window manager cannot say which window is active (Wayland): told each
    // process whose window the bus reports active, or that is found with an active window after
    // it did something while activeWindowProcess named another, on the accessibility thread.
    std::function<void(Pid)> windowActivated;
    // Set only where a toolkit's screen coordinates may silently be its window's (native Wayland
    // clients): whether the process's are the screen's. Without them nothing is placed by them.
    std::function<bool(Pid)> screenCoordinatesKnown;
};

class AtspiAttributes {
public:
    // The walks that read children take at most this many of one element; lists that long are
    // rows of data, and the walks stop well before.
    static constexpr int childLimit = 500;

    // Publishes the focus it works out in snapshot.
    AtspiAttributes(AtspiDesktopHooks hooks, std::shared_ptr<AtspiFocusSnapshot> snapshot);

    // The answer to a read asked on every poll from the focus as last worked out: a system-wide
    // focus read (focused element or application), or the focused element's role or subrole;
    // none when only the bus can answer. Any thread.
    // Whether the focus snapshot is still the user's (its window active, its time not passed).
    // Any thread.
    static bool isStillFocused(const AtspiDesktopHooks& hooks,
                               const AtspiFocusSnapshot::Focus& focus);
    static std::optional<AXResult<AXValue>> answerFromFocus(const AtspiDesktopHooks& hooks,
                                                            const AtspiFocusSnapshot::Focus& focus,
                                                            const AtspiElement& element,
                                                            std::string_view attribute);

    // The element's object, found on first use for an application reference; null for the
    // system-wide element. The call holds the failure when there is none.
    AtspiAccessible* resolve(AtspiCall& call, AtspiElement& element);

    AXResult<AXValue> read(AtspiCall& call, const AtspiElement& element,
                           AtspiAccessible* accessible, std::string_view attribute);
    AXResult<AXValue> readParameterized(AtspiCall& call, AtspiAccessible* accessible,
                                        std::string_view attribute, const AXValue& parameter);
    AXError write(AtspiCall& call, AtspiAccessible* accessible, std::string_view attribute,
                  const AXValue& value);
    AXError replaceText(AtspiCall& call, AtspiAccessible* accessible, AXRange range,
                        const std::string& text);
    // Whether the attribute can be written at all (a field's text and selection); any thread.
    static bool isWritable(std::string_view attribute);
    AXResult<Pid> processId(AtspiCall& call, AtspiAccessible* accessible);
    AtspiToolkit toolkitOf(AtspiCall& call, AtspiAccessible* accessible) {
        return applications_.toolkitOf(call, accessible);
    }

    std::optional<std::string> applicationName(AtspiCall& call, Pid pid);

    // A field's text while nothing can have changed it since it was last confirmed. Any thread.
    std::optional<std::string> quietText(const AtspiElement& field) const {
        return texts_.quietText(field);
    }
    // While the focus reads, the focused field's role reads and its text are all answered from
    // the focus snapshot and quietText; or, with no field focused, while the focus and the active
    // window stay as they are, a poll fails as the last one did. Any thread.
    std::optional<AXRestMark> restMark() const;
    // Works the focus out again, as the next read of the focus would, and reads the field's text
    // from its application (never from what is kept, so that a change no report told of is seen
    // within a second): what is found unchanged only extends the mark. With no focus the user
    // has, an active window's application that has come onto the bus ends the mark.
    void renewRest(AtspiCall& call);

private:
    AXResult<AXValue> readSystemWide(AtspiCall& call, const AtspiElement& systemWide,
                                     std::string_view attribute);
    // The element focus was last reported on, with its application, published for other threads.
    // readField: the field's text is read from its application rather than confirmed.
    AtspiFocusSnapshot::Focus workOutFocus(AtspiCall& call, bool readField = false);
    AXResult<AXValue> focusedElementOf(AtspiCall& call, AtspiAccessible* application);
    // The element focus was last reported on; when that one is a window or holds no text, the
    // element its window says is focused (a toolkit may report focus on a container while a
    // field inside it has the keyboard).
    AtspiAccessible* focusedElement(AtspiCall& call);
    AXResult<AXValue> readText(AtspiCall& call, AtspiAccessible* accessible,
                               std::string_view attribute);
    // mayBeKept: whether a text kept from an earlier read may answer.
    AXResult<AXValue> readValue(AtspiCall& call, AtspiAccessible* accessible, bool mayBeKept);
    std::optional<AtspiTextField> textField(AtspiCall& call, AtspiAccessible* accessible);
    // The element as a rich field, when it is the editable root of a tree of elements. embeds:
    // whether its text embeds other elements, editable or not.
    std::optional<AtspiRichField> richField(AtspiCall& call, AtspiAccessible* accessible,
                                            bool* embeds = nullptr);
    AtspiWindowOrigin windowOrigin(AtspiCall& call, AtspiAccessible* accessible);
    // False when the element's application may report its window's coordinates as the screen's.
    bool hasScreenCoordinates(AtspiCall& call, AtspiAccessible* accessible);

    AtspiDesktopHooks hooks_;
    std::shared_ptr<AtspiFocusSnapshot> snapshot_;
    AtspiFocusTracker focus_;
    AtspiApplications applications_;
    AtspiTextCache texts_;
    struct FocusSearch {
        std::optional<std::uint64_t> report; // the focus report searched after
        int searches = 0;
        std::chrono::steady_clock::time_point last;
    };
    FocusSearch focusSearch_;
    std::shared_ptr<AtspiWindowActivations> windowActivations_; // only with windowActivated
};

} // namespace pennial
