#include "app/palette_key_controller.hpp"

#include "base/log.hpp"

namespace pennial {

namespace {
// Where the keys are taken: passive grabs on the X root window.
constexpr const char* interceptionLocation = "x11-grab";
} // namespace

PaletteKeyController::PaletteKeyController(std::shared_ptr<PaletteKeyInterceptor> interceptor)
    : interceptor_(std::move(interceptor)) {}

PaletteKeyController::~PaletteKeyController() {
    stop();
}

void PaletteKeyController::start(std::function<void(PaletteKey)> onKeyDown) {
    onKeyDown_ = std::move(onKeyDown);
    if (state_ != State::idle)
        return;
    const auto mode = interceptor_ ? interceptor_->start([this](PaletteKey key) { keyDown(key); })
                                   : PaletteKeyInterceptor::Mode::unavailable;
    if (mode == PaletteKeyInterceptor::Mode::intercepting) {
        state_ = State::intercepting;
        hasLoggedKeyIntercept_ = false;
        logf("⌨️ [Pennial] Keyboard interception active ({}).", interceptionLocation);
        return;
    }
    // Keys only observed, or not even that: the palette still answers the mouse.
    state_ = mode == PaletteKeyInterceptor::Mode::observing ? State::observing : State::unseen;
    logLine("⚠️ [Pennial] Event tap creation failed; keyboard list control is observe-only.");
}

void PaletteKeyController::stop() {
    if (state_ != State::idle && interceptor_)
        interceptor_->stop();
    state_ = State::idle;
    onKeyDown_ = nullptr;
}

void PaletteKeyController::keyDown(PaletteKey key) {
    if (state_ == State::intercepting && !hasLoggedKeyIntercept_) {
        hasLoggedKeyIntercept_ = true;
        logLine("⌨️ [Pennial] Intercepting list navigation keys.");
    }
    // A copy: the callback may stop this controller while it runs.
    if (auto onKeyDown = onKeyDown_)
        onKeyDown(key);
}

} // namespace pennial
