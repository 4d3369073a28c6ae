#pragma once
// The applications on the accessibility bus, by bus name: each one's application object, process
// id and how its toolkit answers for text, looked up once and kept while it stays on
// the bus. Accessibility thread only.

#include "platform/accessibility.hpp"
#include "platform/linux/atspi/atspi_offsets.hpp"
#include "platform/linux/atspi/atspi_tree.hpp"
#include "platform/linux/atspi/atspi_unanswered_calls.hpp"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

class AtspiApplications {
public:
    // The application object the element belongs to (borrowed); null when it cannot be found.
    AtspiAccessible* of(AtspiCall& call, AtspiAccessible* accessible);
    // The accessible application of the process; null when it has none.
    AtspiAccessible* withPid(AtspiCall& call, Pid pid);
    std::optional<Pid> pidOf(AtspiCall& call, AtspiAccessible* accessible);
    AtspiToolkit toolkitOf(AtspiCall& call, AtspiAccessible* accessible);
    // What the element's application is known not to answer; null when it cannot be found.
    std::shared_ptr<AtspiUnansweredCalls> unansweredBy(AtspiCall& call,
                                                       AtspiAccessible* accessible);

private:
    struct Entry {
        atspi_tree::Object application;
        std::optional<Pid> pid;
        std::optional<AtspiToolkit> toolkit;
        std::shared_ptr<AtspiUnansweredCalls> unanswered;
    };
    // The entry of the element's application, created on first use; null when it has gone.
    Entry* entryOf(AtspiCall& call, AtspiAccessible* accessible);
    void forgetDeparted();

    std::map<std::string, Entry> entries_;
};

} // namespace pennial
