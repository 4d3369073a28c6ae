#pragma once
// Everything the overlay's card draws: written by the overlay controller alone, observed by the
// card view. Plain data on the main thread; it holds no timers, windows or callbacks of its own.

#include "app/change_signal.hpp"
#include "app/template_suggestion.hpp"

#include <string>
#include <vector>

namespace pennial {

enum class SpinnerOverlayMode { processing, commandPalette };

class SpinnerStatusModel {
public:
    SpinnerOverlayMode mode() const { return mode_; }
    const std::string& verb() const { return verb_; }
    const std::string& query() const { return query_; }
    const std::vector<TemplateSuggestion>& suggestions() const { return suggestions_; }
    // Kept in range by the core; not checked here.
    int selectedIndex() const { return selectedIndex_; }
    bool isNotchDocked() const { return isNotchDocked_; }
    bool isBottomDocked() const { return isBottomDocked_; }
    // The notch's height while notch-docked, else 0.
    double notchHeight() const { return notchHeight_; }
    // The card is slid into view; false keeps it out of sight while the panel may still be up.
    bool isRevealed() const { return isRevealed_; }
    // The whole panel's height, the strips beyond the card included.
    double panelHeight() const { return panelHeight_; }
    bool isProcessing() const { return isProcessing_; }
    // The line below the palette's rows; empty for none.
    const std::string& note() const { return note_; }

    // Every write announces itself once the value is in place, an unchanged value included.
    void setMode(SpinnerOverlayMode mode);
    void setVerb(std::string verb);
    void setQuery(std::string query);
    void setSuggestions(std::vector<TemplateSuggestion> suggestions);
    void setSelectedIndex(int index);
    void setNotchDocked(bool docked);
    void setBottomDocked(bool docked);
    void setNotchHeight(double height);
    void setRevealed(bool revealed);
    void setPanelHeight(double height);
    void setProcessing(bool processing);
    void setNote(std::string note);

    ChangeSignal& changed() { return changed_; }

private:
    SpinnerOverlayMode mode_ = SpinnerOverlayMode::processing;
    std::string verb_ = "Applying";
    std::string query_;
    std::vector<TemplateSuggestion> suggestions_;
    int selectedIndex_ = 0;
    bool isNotchDocked_ = false;
    bool isBottomDocked_ = false;
    double notchHeight_ = 0;
    bool isRevealed_ = false;
    double panelHeight_ = 0;
    bool isProcessing_ = false;
    std::string note_;
    ChangeSignal changed_;
};

} // namespace pennial
