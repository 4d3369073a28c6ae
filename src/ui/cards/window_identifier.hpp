#pragma once
// The identifier a window of ours goes by ("settings", "about", "onboarding"), kept on the widget
// itself so that anything holding the window can tell which one it is.

#include <optional>
#include <string>

class QWidget;

namespace pennial {

void setWindowIdentifier(QWidget& window, const std::string& identifier);
// None when the window was never given one.
std::optional<std::string> windowIdentifier(const QWidget& window);

} // namespace pennial
