#pragma once
// The overlay at the notch or a screen edge: the command palette while a trigger is typed, and
// its processing card while a command runs. Main executor only; nothing here fails.

#include "app/template_suggestion.hpp"
#include "platform/geometry.hpp"
#include "platform/screens.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

class SpinnerOverlay {
public:
    using SelectHandler = std::function<void(const std::string& name)>;

    virtual ~SpinnerOverlay() = default;

    // Shows the palette with these rows (possibly none), or updates the one already shown in
    // place. caret: screen point of the caret, none when unknown; onSelect: called with a row's
    // name when the user clicks an enabled row; screen: none means the first screen.
    virtual void showCommandPalette(std::vector<TemplateSuggestion> suggestions, std::string query,
                                    int selectedIndex, std::optional<Point> caretScreenPosition,
                                    SelectHandler onSelect, std::optional<Screen> screen) = 0;
    // One line below the palette's rows saying how it is used here; empty for none. Kept for
    // the palettes shown after it until changed.
    virtual void setPaletteNote(std::string /*note*/) {}
    // Switches the shown overlay to its processing card.
    virtual void transitionToProcessing() = 0;
    // Slides the overlay out; nothing when it is not shown or already leaving.
    virtual void hide() = 0;
};

} // namespace pennial
