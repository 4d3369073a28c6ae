#include "ui/code_panel/notch_passcode_panel_controller.hpp"

#include "ui/code_panel/code_panel_placement.hpp"
#include "ui/code_panel/keyable_panel.hpp"
#include "ui/code_panel/notch_passcode_view.hpp"
#include "ui/design/pn_spacing.hpp"

#include <QObject>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace pennial {

NotchPasscodePanelController::NotchPasscodePanelController(std::shared_ptr<Screens> screens,
                                                           Executor mainExecutor,
                                                           NotchPasscodeTimings timings)
    : screens_(std::move(screens)), mainExecutor_(std::move(mainExecutor)), timings_(timings),
      model_(std::make_shared<NotchPasscodeModel>()), lifetime_(std::make_unique<QObject>()) {}

NotchPasscodePanelController::~NotchPasscodePanelController() {
    if (view_)
        view_->detachFromModel();
    delete window_;
}

std::optional<Screen> NotchPasscodePanelController::firstScreen() const {
    auto all = screens_->screens();
    if (all.empty())
        return std::nullopt;
    return all.front();
}

void NotchPasscodePanelController::show(std::string email, VerifyCodeHandler onVerify,
                                        std::function<void()> onSignInComplete,
                                        std::optional<Screen> screen) {
    if (!screen)
        screen = firstScreen();
    if (!screen)
        return;

    model_->setEmail(std::move(email));
    model_->onVerify = std::move(onVerify);
    model_->onSignInComplete = std::move(onSignInComplete);
    model_->setError(std::nullopt);
    model_->setVerifying(false);
    const Size size = codePanelSize(*screen);
    model_->setNotchHeight(screen->safeAreaTopInset);
    model_->setPanelHeight(size.height);

    // Cancels a slide-out still waiting for its tear-down.
    ++hideGeneration_;
    isAnimatingOut_ = false;

    if (window_) {
        // Neither moved nor resized; a card out of view (leaving, or not yet in) comes in now.
        model_->setRevealed(true);
        return;
    }
    model_->setRevealed(false);
    makePanel(size, *screen);
    window_->show();
    window_->raise();
    // The view lays the card out of sight first, then slides it in on the next turn.
    QTimer::singleShot(0, lifetime_.get(), [this] { model_->setRevealed(true); });
}

void NotchPasscodePanelController::makePanel(Size size, const Screen& screen) {
    auto* panel = new KeyablePanel();
    view_ = new NotchPasscodeView(model_, mainExecutor_, panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    const Point topLeft = codePanelTopLeft(size.width, screen);
    panelFrame_ = {{topLeft.x, topLeft.y - size.height}, size};
    const auto primary = firstScreen();
    const Rect placed =
        toWindowSystemFrame(panelFrame_, primary ? primary->frame.maxY() : screen.frame.maxY());
    panel->setGeometry(roundToPixels(placed.minX()), roundToPixels(placed.minY()),
                       roundToPixels(placed.size.width), roundToPixels(placed.size.height));
    window_ = panel;
}

void NotchPasscodePanelController::hide() {
    if (!window_ || isAnimatingOut_)
        return;
    if (!model_->isRevealed()) {
        tearDown();
        return;
    }
    isAnimatingOut_ = true;
    model_->setRevealed(false);
    const long generation = hideGeneration_;
    QTimer::singleShot(timings_.tearDownDelay, lifetime_.get(), [this, generation] {
        if (hideGeneration_ == generation)
            tearDown();
    });
}

void NotchPasscodePanelController::tearDown() {
    // The reset below is the panel's own, not the user's: it must not reach the other field.
    if (view_)
        view_->detachFromModel();
    isAnimatingOut_ = false;
    model_->setRevealed(false);
    model_->setCode("");
    model_->setError(std::nullopt);
    model_->setVerifying(false);
    if (window_) {
        window_->hide();
        // Later: the tear-down may run inside one of the panel's own event handlers.
        window_->deleteLater();
        window_ = nullptr;
        view_ = nullptr;
    }
}

void NotchPasscodePanelController::setCode(const std::string& code) {
    if (model_->code() == code)
        return;
    model_->setCode(code);
}

void NotchPasscodePanelController::setOnCodeChanged(CodeChangedHandler callback) {
    model_->onCodeChanged = std::move(callback);
}

} // namespace pennial
