#pragma once
// The last onboarding screen: setup is complete, three things worth knowing (the last one where to
// find the program again: the tray, or without one the applications menu), and "Open Settings",
// which tells the core onboarding is finished (it then closes the window and opens the settings).

#include "windows/onboarding/onboarding_screen_frame.hpp"
#include "windows/onboarding/onboarding_symbol.hpp"

#include <vector>

namespace pennial {

class BrandedBottomBar;
class OnboardingModel;
class OnboardingText;

class DoneScreen : public OnboardingScreenFrame {
public:
    explicit DoneScreen(OnboardingModel& model, QWidget* parent = nullptr);

    struct Row {
        OnboardingSymbol* icon;
        OnboardingText* text;
    };

    OnboardingText* title() const { return title_; }
    const std::vector<Row>& rows() const { return rows_; }
    BrandedBottomBar* bottomBar() const { return bottomBar_; }

private:
    QWidget* doneRow(OnboardingSymbol::Shape icon, const QString& text, QWidget* parent);

    OnboardingText* title_;
    std::vector<Row> rows_;
    BrandedBottomBar* bottomBar_;
};

} // namespace pennial
