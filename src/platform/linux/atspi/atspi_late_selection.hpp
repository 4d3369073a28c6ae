#pragma once
// A toolkit that answers for a selection before its page has made it (Firefox): the call that
// made it waits until the field reads it back, so that a key sent next meets the selection and
// not the caret. On the accessibility thread.

#include "platform/linux/atspi/atspi_offsets.hpp"

#include <functional>

namespace pennial {

// Returns at once for other toolkits; after a while when made() never holds (the field is then
// left as it is).
void awaitSelectionMade(const AtspiToolkit& toolkit, const std::function<bool()>& made);

} // namespace pennial
