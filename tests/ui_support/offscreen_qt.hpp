#pragma once
// One QApplication for a whole test program of views: animations off so that views settle at
// once, closing the last window not ending the program (as in the tray application), and the
// offscreen platform's notes about stacking and size hints (nothing to act on) kept out of the
// output.

namespace pennial::testing {

struct OffscreenQtOptions {
    // The brand fonts registered as the application registers them; off where pixels are
    // compared against the fallback family.
    bool registerBrandFonts = true;
};

// Call once per program, at namespace scope; gtest owns what it registers.
bool addOffscreenQtEnvironment(OffscreenQtOptions options = {});

} // namespace pennial::testing
