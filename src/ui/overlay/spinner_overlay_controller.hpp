#pragma once
// The overlay the core drives: one frameless panel that never takes focus, hosting the palette
// card, placed at the notch, the bottom edge or below the top panel. It writes the status model;
// the card view draws from it. Main thread only.

#include "app/change_signal.hpp"
#include "app/spinner_overlay.hpp"
#include "ui/overlay/overlay_placement.hpp"
#include "ui/overlay/spinner_status_model.hpp"
#include "ui/overlay/status_verbs.hpp"

#include <chrono>
#include <memory>

class QObject;
class QWidget;

namespace pennial {

struct SpinnerOverlayTimings {
    // How long the card takes to slide out before the panel is torn down.
    std::chrono::milliseconds tearDownDelay{350};
    // How long each status verb stays while a command runs.
    std::chrono::milliseconds verbInterval = StatusVerbCycle::defaultInterval;
};

// Who has the last word on where the panel goes. Under a Wayland compositor, Xwayland's window
// manager puts a managed window where it likes, not where the panel asked (a click aimed at a row
// then lands elsewhere): there the panel stays out of its hands, as a menu does.
enum class PanelPlacing { windowManager, outsideWindowManager };

class SpinnerOverlayController final : public SpinnerOverlay {
public:
    explicit SpinnerOverlayController(std::shared_ptr<Screens> screens,
                                      SpinnerOverlayTimings timings = {},
                                      PanelPlacing placing = PanelPlacing::windowManager);
    ~SpinnerOverlayController() override;
    SpinnerOverlayController(const SpinnerOverlayController&) = delete;
    SpinnerOverlayController& operator=(const SpinnerOverlayController&) = delete;

    void showCommandPalette(std::vector<TemplateSuggestion> suggestions, std::string query,
                            int selectedIndex, std::optional<Point> caretScreenPosition,
                            SelectHandler onSelect, std::optional<Screen> screen) override;
    void setPaletteNote(std::string note) override;
    void transitionToProcessing() override;
    void hide() override;

    // A panel is on screen: from its first show until its tear-down.
    bool isVisible() const { return isVisible_; }
    ChangeSignal& visibilityChanged() { return visibilityChanged_; }

    const SpinnerStatusModel& statusModel() const { return statusModel_; }
    // The panel while it exists, its frame in the screens' coordinates and its stacking.
    QWidget* panel() const { return panel_; }
    Rect panelFrame() const { return panelFrame_; }
    OverlayWindowLevel panelLevel() const { return panelLevel_; }

private:
    void showPanel(const PalettePlacement& placement, const Screen& screen);
    QWidget* makePanel();
    void placePanel(const Rect& frame);
    void resizeForProcessing();
    void tearDown();
    void startVerbCycling();
    void stopVerbCycling();
    void setVisible(bool visible);
    void suggestionSelected(const std::string& name) const;
    std::optional<Screen> firstScreen() const;

    std::shared_ptr<Screens> screens_;
    SpinnerOverlayTimings timings_;
    PanelPlacing placing_;
    SpinnerStatusModel statusModel_;
    QWidget* panel_ = nullptr;
    Rect panelFrame_;
    OverlayWindowLevel panelLevel_ = OverlayWindowLevel::floating;
    std::optional<Screen> panelScreen_;
    SelectHandler onSuggestionSelected_;
    long hideGeneration_ = 0;
    bool isAnimatingOut_ = false;
    StatusVerbCycle verbCycle_;
    bool isVisible_ = false;
    ChangeSignal visibilityChanged_;
    // Queued and delayed steps are bound to it, so none runs after the controller is gone.
    std::unique_ptr<QObject> lifetime_;
};

} // namespace pennial
