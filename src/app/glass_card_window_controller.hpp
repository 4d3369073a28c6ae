#pragma once
// The card-style windows the core opens besides onboarding: settings and about. The core asks the
// factory for a controller; the controller builds its window on show() and can be shown again
// after the user closed it. Main executor only.

#include "platform/geometry.hpp"

#include <memory>
#include <string>

namespace pennial {

class AppCoordinator;

class GlassCardWindowController {
public:
    virtual ~GlassCardWindowController() = default;

    // Builds and shows the window, or only brings it forward when it is open.
    virtual void show() = 0;
    // Closes and forgets the window; nothing happens when none is open.
    virtual void hide() = 0;
    // Read when the window is built.
    virtual void setShowTitlebarLogo(bool show) = 0;
};

enum class CardWindowContent {
    settings, // the settings view, on the coordinator's initialSettingsTab at build time
    about,
};

struct CardWindowOptions {
    std::string id; // the window's identifier: "settings", "about"
    Size size;      // content size in points; the minimum when resizable, else fixed
    bool resizable = false;
    CardWindowContent content = CardWindowContent::about;
    bool operator==(const CardWindowOptions&) const = default;
};

class CardWindowFactory {
public:
    virtual ~CardWindowFactory() = default;
    // The controller has no window until shown; the coordinator is what the content observes.
    virtual std::unique_ptr<GlassCardWindowController>
    makeCardWindow(const CardWindowOptions& options, AppCoordinator& coordinator) = 0;
};

} // namespace pennial
