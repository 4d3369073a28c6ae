#pragma once
// The start-up step that offers to move the application to where it belongs. Packages already
// install it in place, so the Linux build's step does nothing; the seam stays for installs that
// will need it.

namespace pennial {

class MoveToApplications {
public:
    virtual ~MoveToApplications() = default;

    // Runs once per launch, after the first onboarding decision; may ask the user (modally).
    virtual void promptIfNeeded() = 0;
};

class NoMoveToApplications final : public MoveToApplications {
public:
    void promptIfNeeded() override {}
};

} // namespace pennial
