#pragma once
// The overlay panel's one view: the palette card drawn from the status model, its rows while a
// trigger is typed and its status row while a command runs, slid in from and out to the docking
// edge. It never writes the model; a click on an enabled row is its only output.

#include "app/change_signal.hpp"
#include "ui/overlay/spinner_status_model.hpp"

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

class QLabel;

class QPropertyAnimation;
class QVBoxLayout;

namespace pennial {

class PaletteCard;
class PaletteList;
class PaletteLogo;
class ProcessingRow;

class SpinnerView : public QWidget {
public:
    using SelectHandler = std::function<void(const std::string& name)>;

    SpinnerView(SpinnerStatusModel& model, SelectHandler onSuggestionSelected, QWidget* parent);

    PaletteCard* card() const { return card_; }
    PaletteLogo* logo() const { return logo_; }
    PaletteList* list() const { return list_; }
    QLabel* note() const { return note_; }
    ProcessingRow* processingRow() const { return processingRow_; }
    // How far the card is moved from the panel's top edge once it has come to rest.
    int revealOffset() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void sync();
    void placeCard(bool animated);
    void showNote();
    // How far the card reaches below the panel.
    int footExtension() const;

    SpinnerStatusModel& model_;
    PaletteCard* card_;
    QVBoxLayout* cardLayout_;
    PaletteLogo* logo_;
    ProcessingRow* processingRow_;
    PaletteList* list_;
    QLabel* note_;
    QPropertyAnimation* sliding_;

    // What the widgets show, so a model change touches only what it changed.
    std::vector<TemplateSuggestion> shownSuggestions_;
    std::string shownQuery_;
    std::optional<int> shownSelectedIndex_;
    bool shownRevealed_;

    ChangeSignal::Connection modelChanged_;
};

} // namespace pennial
