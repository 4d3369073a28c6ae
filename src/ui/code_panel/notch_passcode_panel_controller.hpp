#pragma once
// The sign-in code panel the core drives: a small black card hanging from the notch (or below the
// top panel) in a panel that takes the keyboard once clicked, so the code from the e-mail can be
// typed without going back to the onboarding window. Main thread only.

#include "app/notch_passcode_panel.hpp"
#include "base/runtime.hpp"
#include "platform/geometry.hpp"
#include "ui/code_panel/notch_passcode_model.hpp"

#include <chrono>
#include <memory>

class QObject;
class QWidget;

namespace pennial {

class NotchPasscodeView;

struct NotchPasscodeTimings {
    // How long the card takes to slide out before the panel is torn down.
    std::chrono::milliseconds tearDownDelay{350};
};

class NotchPasscodePanelController final : public NotchPasscodePanel {
public:
    // Verifications run on mainExecutor, the executor of the thread the panel lives on.
    NotchPasscodePanelController(std::shared_ptr<Screens> screens, Executor mainExecutor,
                                 NotchPasscodeTimings timings = {});
    ~NotchPasscodePanelController() override;
    NotchPasscodePanelController(const NotchPasscodePanelController&) = delete;
    NotchPasscodePanelController& operator=(const NotchPasscodePanelController&) = delete;

    void show(std::string email, VerifyCodeHandler onVerify, std::function<void()> onSignInComplete,
              std::optional<Screen> screen) override;
    void hide() override;
    void setCode(const std::string& code) override;
    void setOnCodeChanged(CodeChangedHandler callback) override;

    NotchPasscodeModel& model() const { return *model_; }
    // The panel while it exists, its frame in the screens' coordinates, and its view.
    QWidget* window() const { return window_; }
    Rect panelFrame() const { return panelFrame_; }
    NotchPasscodeView* view() const { return view_; }
    bool isAnimatingOut() const { return isAnimatingOut_; }
    // Raised by every show; a slide-out tears down only if it is unchanged.
    long hideGeneration() const { return hideGeneration_; }

private:
    void makePanel(Size size, const Screen& screen);
    void tearDown();
    std::optional<Screen> firstScreen() const;

    std::shared_ptr<Screens> screens_;
    Executor mainExecutor_;
    NotchPasscodeTimings timings_;
    QWidget* window_ = nullptr;
    NotchPasscodeView* view_ = nullptr;
    Rect panelFrame_;
    // Shared with the view and with verifications still running when the panel goes.
    std::shared_ptr<NotchPasscodeModel> model_;
    bool isAnimatingOut_ = false;
    long hideGeneration_ = 0;
    // Queued and delayed steps are bound to it, so none runs after the controller is gone.
    std::unique_ptr<QObject> lifetime_;
};

} // namespace pennial
