#include "ui/overlay/spinner_overlay_controller.hpp"

#include "ui/design/pn_spacing.hpp"
#include "ui/overlay/spinner_view.hpp"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cmath>

namespace pennial {

namespace {

Qt::WindowFlags panelFlags(OverlayWindowLevel level, PanelPlacing placing) {
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
    // Level with the top panel: out of the window manager's hands, so it may cover that panel.
    if (level == OverlayWindowLevel::statusBar || placing == PanelPlacing::outsideWindowManager)
        flags |= Qt::X11BypassWindowManagerHint;
    return flags;
}

} // namespace

SpinnerOverlayController::SpinnerOverlayController(std::shared_ptr<Screens> screens,
                                                   SpinnerOverlayTimings timings,
                                                   PanelPlacing placing)
    : screens_(std::move(screens)), timings_(timings), placing_(placing),
      verbCycle_([this](std::string verb) { statusModel_.setVerb(std::move(verb)); },
                 timings.verbInterval),
      lifetime_(std::make_unique<QObject>()) {}

SpinnerOverlayController::~SpinnerOverlayController() {
    verbCycle_.stop();
    delete panel_;
}

std::optional<Screen> SpinnerOverlayController::firstScreen() const {
    auto all = screens_->screens();
    if (all.empty())
        return std::nullopt;
    return all.front();
}

void SpinnerOverlayController::showCommandPalette(std::vector<TemplateSuggestion> suggestions,
                                                  std::string query, int selectedIndex,
                                                  std::optional<Point> caretScreenPosition,
                                                  SelectHandler onSelect,
                                                  std::optional<Screen> screen) {
    if (!screen)
        screen = firstScreen();
    if (!screen)
        return;
    // The caret comes in the device pixels of the accessibility layer; the screens are scaled.
    if (caretScreenPosition)
        caretScreenPosition = screens_->fromDevicePixels(*caretScreenPosition);

    // A show cancels a slide-out that is still waiting for its tear-down.
    const bool wasAnimatingOut = isAnimatingOut_;
    ++hideGeneration_;
    isAnimatingOut_ = false;

    const auto placement = placePalette(suggestions.size(), caretScreenPosition, *screen,
                                        !statusModel_.note().empty());
    const bool revealAfresh =
        !(statusModel_.mode() == SpinnerOverlayMode::commandPalette && panel_ != nullptr);

    // A palette always draws rows: a processing card still sliding out of a finished transform
    // must not come back with its spinner while the keys drive an invisible selection.
    if (statusModel_.isProcessing()) {
        statusModel_.setProcessing(false);
        stopVerbCycling();
    }
    statusModel_.setMode(SpinnerOverlayMode::commandPalette);
    statusModel_.setQuery(std::move(query));
    statusModel_.setSuggestions(std::move(suggestions));
    statusModel_.setSelectedIndex(selectedIndex);
    statusModel_.setNotchDocked(placement.isNotchDocked);
    statusModel_.setBottomDocked(placement.isBottomDocked);
    statusModel_.setNotchHeight(placement.notchHeight);
    onSuggestionSelected_ = std::move(onSelect);
    statusModel_.setPanelHeight(placement.size.height);

    if (revealAfresh) {
        statusModel_.setRevealed(false);
        showPanel(placement, *screen);
        // The view lays the card out of sight first, then slides it in on the next turn.
        QTimer::singleShot(0, lifetime_.get(), [this] { statusModel_.setRevealed(true); });
        return;
    }
    showPanel(placement, *screen);
    // The user typed on while the card was leaving: bring it back rather than keep an empty
    // panel up until the next hide.
    if (wasAnimatingOut)
        statusModel_.setRevealed(true);
}

void SpinnerOverlayController::setPaletteNote(std::string note) {
    // Shown with the next palette, which is sized for it.
    if (note != statusModel_.note())
        statusModel_.setNote(std::move(note));
}

void SpinnerOverlayController::showPanel(const PalettePlacement& placement, const Screen& screen) {
    panelScreen_ = screen;
    if (!panel_) {
        panelLevel_ = placement.level;
        panel_ = makePanel();
    } else if (panelLevel_ != placement.level) {
        panelLevel_ = placement.level;
        panel_->setWindowFlags(panelFlags(panelLevel_, placing_)); // hides it; shown again below
    }
    placePanel(placement.frame());
    panel_->show();
    panel_->raise();
    setVisible(true);
}

QWidget* SpinnerOverlayController::makePanel() {
    auto* panel = new QWidget(nullptr, panelFlags(panelLevel_, placing_));
    panel->setObjectName("SpinnerOverlayPanel");
    panel->setAttribute(Qt::WA_ShowWithoutActivating);
    panel->setAttribute(Qt::WA_TranslucentBackground);
    panel->setAttribute(Qt::WA_X11DoNotAcceptFocus);
    panel->setFocusPolicy(Qt::NoFocus);

    // Holds the controller weakly: a click on a view that outlived it goes nowhere.
    auto onSelected = [this, guard = QPointer<QObject>(lifetime_.get())](const std::string& name) {
        if (guard)
            suggestionSelected(name);
    };
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SpinnerView(statusModel_, std::move(onSelected), panel));
    return panel;
}

void SpinnerOverlayController::placePanel(const Rect& frame) {
    panelFrame_ = frame;
    // The window system's y grows downwards from the primary screen's top edge.
    const auto primary = firstScreen();
    const double primaryTop =
        primary ? primary->frame.maxY() : (panelScreen_ ? panelScreen_->frame.maxY() : 0);
    panel_->setGeometry(roundToPixels(frame.minX()), roundToPixels(primaryTop - frame.maxY()),
                        roundToPixels(frame.size.width), roundToPixels(frame.size.height));
}

void SpinnerOverlayController::suggestionSelected(const std::string& name) const {
    // A copy: the handler may hide the overlay, which clears the stored one.
    if (auto handler = onSuggestionSelected_)
        handler(name);
}

void SpinnerOverlayController::transitionToProcessing() {
    // With no palette up nothing is shown, and nothing is left behind for the next palette.
    if (!panel_)
        return;
    statusModel_.setProcessing(true);
    statusModel_.setVerb(nextVerb());
    startVerbCycling();
    resizeForProcessing();
}

void SpinnerOverlayController::resizeForProcessing() {
    if (!panel_)
        return;
    auto screen = panelScreen_;
    if (!screen)
        screen = screens_->mainScreen();
    if (!screen)
        screen = firstScreen();
    if (!screen)
        return;
    const Rect frame = processingFrame(panelFrame_, statusModel_.isNotchDocked(),
                                       statusModel_.isBottomDocked(), *screen);
    statusModel_.setPanelHeight(frame.size.height);
    placePanel(frame);
}

void SpinnerOverlayController::hide() {
    if (!isVisible_ || isAnimatingOut_)
        return;
    if (statusModel_.mode() == SpinnerOverlayMode::commandPalette && statusModel_.isRevealed()) {
        isAnimatingOut_ = true;
        statusModel_.setRevealed(false);
        const long generation = ++hideGeneration_;
        QTimer::singleShot(timings_.tearDownDelay, lifetime_.get(), [this, generation] {
            if (hideGeneration_ == generation)
                tearDown();
        });
        return;
    }
    tearDown();
}

void SpinnerOverlayController::tearDown() {
    isAnimatingOut_ = false;
    statusModel_.setRevealed(false);
    statusModel_.setProcessing(false);
    stopVerbCycling();
    if (panel_) {
        panel_->hide();
        // Later: the tear-down may run inside one of the panel's own event handlers.
        panel_->deleteLater();
        panel_ = nullptr;
    }
    panelScreen_.reset();
    onSuggestionSelected_ = nullptr;
    setVisible(false);
}

void SpinnerOverlayController::startVerbCycling() {
    verbCycle_.start();
}

void SpinnerOverlayController::stopVerbCycling() {
    verbCycle_.stop();
}

void SpinnerOverlayController::setVisible(bool visible) {
    if (isVisible_ == visible)
        return;
    isVisible_ = visible;
    visibilityChanged_.notify();
}

} // namespace pennial
