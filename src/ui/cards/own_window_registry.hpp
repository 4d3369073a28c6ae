#pragma once
// Where the application's own windows are listed under their identifiers, for the workspace
// (is our onboarding window up?) and the focus rules (is any of our windows left?). GUI thread.

#include "platform/workspace.hpp"

#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace pennial {

class X11Workspace;

class OwnWindowRegistry {
public:
    virtual ~OwnWindowRegistry() = default;
    // The window drops out of the list when it is destroyed.
    virtual void addOwnWindow(std::string identifier, QWidget* window) = 0;
    // Every listed window that still exists, shown or not.
    virtual std::vector<OwnWindow> ownWindows() = 0;
};

// The registry the X11 workspace keeps.
class X11OwnWindowRegistry final : public OwnWindowRegistry {
public:
    explicit X11OwnWindowRegistry(std::shared_ptr<X11Workspace> workspace);
    void addOwnWindow(std::string identifier, QWidget* window) override;
    std::vector<OwnWindow> ownWindows() override;

private:
    std::shared_ptr<X11Workspace> workspace_;
};

} // namespace pennial
