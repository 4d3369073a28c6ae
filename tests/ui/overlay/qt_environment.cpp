// The program's QApplication; pixels here are compared against the fallback family.

#include "ui_support/offscreen_qt.hpp"

[[maybe_unused]] static const bool environment =
    pennial::testing::addOffscreenQtEnvironment({.registerBrandFonts = false});
