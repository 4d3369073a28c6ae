#pragma once
// The menu's status mark, drawn rather than taken from the icon theme (which may lack it): a
// filled circle with a check for "checkmark.circle.fill", a ring for "circle". GUI thread.

#include <QColor>
#include <QIcon>
#include <QImage>
#include <string>

namespace pennial {

// The symbol at size x size pixels in colour.
QImage statusSymbolImage(const std::string& symbol, int size, const QColor& colour);

// The symbol at the menu's icon sizes.
QIcon statusSymbolIcon(const std::string& symbol, const QColor& colour);

} // namespace pennial
