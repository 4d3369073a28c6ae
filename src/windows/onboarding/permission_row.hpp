#pragma once
// One permission on the permissions screen: its icon, title (with a "Required" badge when the
// permission is required) and subtitle, and either a check mark or a "Grant Access" button.

#include "windows/onboarding/onboarding_symbol.hpp"

#include <QWidget>
#include <functional>

class QPushButton;

namespace pennial {

class OnboardingText;
class PNBadge;

class PermissionRow : public QWidget {
public:
    PermissionRow(const QString& title, const QString& subtitle, OnboardingSymbol::Shape icon,
                  bool isGranted, bool isRequired, std::function<void()> onGrant,
                  QWidget* parent = nullptr);

    // Swaps the button for the check mark or back.
    void setGranted(bool granted);
    bool isGranted() const { return granted_; }

    OnboardingText* title() const { return title_; }
    OnboardingText* subtitle() const { return subtitle_; }
    PNBadge* requiredBadge() const { return badge_; } // null when not required
    QPushButton* grantButton() const { return grantButton_; }
    OnboardingSymbol* checkmark() const { return checkmark_; }

private:
    bool granted_ = false;
    OnboardingText* title_;
    OnboardingText* subtitle_;
    PNBadge* badge_ = nullptr;
    QPushButton* grantButton_;
    OnboardingSymbol* checkmark_;
};

} // namespace pennial
