// The program's QApplication, with the brand fonts as the application registers them.

#include "ui_support/offscreen_qt.hpp"

[[maybe_unused]] static const bool environment = pennial::testing::addOffscreenQtEnvironment();
