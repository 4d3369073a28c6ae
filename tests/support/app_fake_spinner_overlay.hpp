#pragma once
// A recording stand-in for the overlay: what it was asked to show, in order, and whether it is up.

#include "app/spinner_overlay.hpp"

#include <string>
#include <vector>

namespace pennial::testing {

class FakeSpinnerOverlay final : public SpinnerOverlay {
public:
    struct Palette {
        std::vector<TemplateSuggestion> suggestions;
        std::string query;
        int selectedIndex = 0;
        std::optional<Point> caret;
        std::optional<Screen> screen;
        std::string note;
    };

    void showCommandPalette(std::vector<TemplateSuggestion> suggestions, std::string query,
                            int selectedIndex, std::optional<Point> caretScreenPosition,
                            SelectHandler onSelect, std::optional<Screen> screen) override {
        palettes.push_back({std::move(suggestions), std::move(query), selectedIndex,
                            caretScreenPosition, std::move(screen), note});
        this->onSelect = std::move(onSelect);
        visible = true;
        processing = false;
        calls.push_back("palette");
    }
    void setPaletteNote(std::string text) override { note = std::move(text); }
    void transitionToProcessing() override {
        processing = true;
        calls.push_back("processing");
    }
    void hide() override {
        ++hideCount;
        visible = false;
        processing = false;
        onSelect = {};
        calls.push_back("hide");
    }

    // The user clicks a row.
    void click(const std::string& name) {
        if (onSelect)
            onSelect(name);
    }

    std::vector<Palette> palettes;
    std::vector<std::string> calls;
    SelectHandler onSelect;
    std::string note;
    int hideCount = 0;
    bool visible = false;
    bool processing = false;
};

} // namespace pennial::testing
