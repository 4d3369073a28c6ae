#pragma once
// The tray icon's colour: light on a dark tray, dark on a light one, as symbolic icons are drawn.
// The tray's own background decides where it can be seen; the desktop's colour scheme otherwise.
// GUI thread.

#include <QColor>
#include <QRect>
#include <optional>

class QScreen;

namespace pennial {

// The glyph colour that reads on background.
QColor trayForegroundFor(const QColor& background);

// The colour around the icon's slot on screen (the tray's background), from the pixels along the
// edges of iconGeometry; none when the area cannot be read.
std::optional<QColor> trayBackgroundAround(QScreen* screen, const QRect& iconGeometry);

// The desktop's window background, which follows its dark or light scheme.
QColor desktopSchemeBackground();

} // namespace pennial
