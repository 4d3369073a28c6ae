#pragma once
// What every card window needs from the rest of the application: the screens to centre a new
// window on, the focus rules, and the registry our windows are listed in.

#include <memory>

namespace pennial {

class OwnWindowRegistry;
class QtWindowFocus;
class Screens;
class WindowVisibility;

struct CardWindowServices {
    std::shared_ptr<Screens> screens; // none: the window system places new windows
    std::shared_ptr<QtWindowFocus> focus;
    std::shared_ptr<OwnWindowRegistry> ownWindows;
    // none: a shown window that is not minimised counts as visible
    std::shared_ptr<WindowVisibility> visibility;
};

} // namespace pennial
