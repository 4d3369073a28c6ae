#include "platform/linux/atspi/atspi_unanswered_calls.hpp"

#include "base/log.hpp"

namespace pennial {

void AtspiUnansweredCalls::learn(std::string_view method) {
    if (unanswered_.emplace(method).second)
        logf("🔍 [Accessibility] {} does not answer {}: its effect is read back instead",
             application_.empty() ? "An application" : application_, method);
}

} // namespace pennial
