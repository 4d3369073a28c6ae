#pragma once
// Hints that the focused field may have changed: its application reported a change of its text or
// caret, or a key was pressed. A hint only says "look now"; what changed is still read from the
// field.

#include "platform/subscription.hpp"

#include <functional>

namespace pennial {

class FieldActivity {
public:
    virtual ~FieldActivity() = default;
    // The handler runs on whichever thread noticed the activity, and must only take note of it.
    virtual Subscription observe(std::function<void()> onActivity) = 0;
};

} // namespace pennial
