#include "ui/overlay/spinner_status_model.hpp"

#include <utility>

namespace pennial {

namespace {

template <class T> void write(T& field, T value, const ChangeSignal& changed) {
    field = std::move(value);
    changed.notify();
}

} // namespace

void SpinnerStatusModel::setNote(std::string note) {
    write(note_, std::move(note), changed_);
}
void SpinnerStatusModel::setMode(SpinnerOverlayMode mode) {
    write(mode_, mode, changed_);
}
void SpinnerStatusModel::setVerb(std::string verb) {
    write(verb_, std::move(verb), changed_);
}
void SpinnerStatusModel::setQuery(std::string query) {
    write(query_, std::move(query), changed_);
}
void SpinnerStatusModel::setSuggestions(std::vector<TemplateSuggestion> suggestions) {
    write(suggestions_, std::move(suggestions), changed_);
}
void SpinnerStatusModel::setSelectedIndex(int index) {
    write(selectedIndex_, index, changed_);
}
void SpinnerStatusModel::setNotchDocked(bool docked) {
    write(isNotchDocked_, docked, changed_);
}
void SpinnerStatusModel::setBottomDocked(bool docked) {
    write(isBottomDocked_, docked, changed_);
}
void SpinnerStatusModel::setNotchHeight(double height) {
    write(notchHeight_, height, changed_);
}
void SpinnerStatusModel::setRevealed(bool revealed) {
    write(isRevealed_, revealed, changed_);
}
void SpinnerStatusModel::setPanelHeight(double height) {
    write(panelHeight_, height, changed_);
}
void SpinnerStatusModel::setProcessing(bool processing) {
    write(isProcessing_, processing, changed_);
}

} // namespace pennial
