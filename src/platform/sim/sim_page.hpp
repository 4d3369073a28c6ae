#pragma once
// Generated applications with large, realistic trees: a browser page (toolbar, banner,
// navigation, a main landmark of articles with nested comment threads, a reply box with focus,
// footer) or a native document window. The same layout always gives the same tree.

#include "platform/sim/sim_desktop.hpp"

#include <cstdint>

namespace pennial {

struct SimPageLayout {
    int elementCount = 5000; // elements under the window, roughly
    bool webArea = true;     // a browser page; false: a native window with groups only
    bool mainLandmark = true;
    bool textMarkers = false; // the page hands out its whole text through text markers
    int wordsPerParagraph = 24;
    std::uint32_t seed = 1;
};

struct SimPage {
    std::shared_ptr<SimApplication> application;
    SimElementPtr window;
    SimElementPtr webArea; // null for a native window
    SimElementPtr main;    // null without a main landmark
    SimElementPtr field;   // the reply box, focused
    int elementCount = 0;  // elements created under the window
};

SimPage buildSimPage(SimDesktop& desktop, RunningApplication application,
                     const SimPageLayout& layout = {});

} // namespace pennial
