#pragma once
// What every card window needs from the rest of the application: the screens to centre a new
// window on, the focus rules, and the registry our windows are listed in.

#include <memory>

namespace pennial {

class OwnWindowRegistry;
class QtWindowFocus;
class Screens;

struct CardWindowServices {
    std::shared_ptr<Screens> screens;
    std::shared_ptr<QtWindowFocus> focus;
    std::shared_ptr<OwnWindowRegistry> ownWindows;
};

} // namespace pennial
