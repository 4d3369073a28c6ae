#pragma once
// Tab in the command palette: the typed trigger at the end of the field's text replaced by the
// trigger with the selected command's full name.

#include <string>
#include <string_view>

namespace pennial {

// value with typedPattern, where it ends the text (or is followed only by white space there,
// which goes too), replaced by completed; value as it is when the typed pattern is not at its end.
// completed is taken literally, whatever characters the trigger pattern holds.
std::string textWithCompletedTrigger(std::string_view value, std::string_view typedPattern,
                                     std::string_view completed);

} // namespace pennial
