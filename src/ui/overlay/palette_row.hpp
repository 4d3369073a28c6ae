#pragma once
// One row of the palette: the command's label with the query in bold, the selection behind it,
// dimmed and deaf to clicks when the command cannot run here.

#include "app/template_suggestion.hpp"
#include "ui/overlay/palette_label.hpp"

#include <QAbstractButton>
#include <functional>
#include <string>

namespace pennial {

class PaletteRow : public QAbstractButton {
public:
    using SelectHandler = std::function<void(const std::string& name)>;
    static constexpr int height = 24;

    PaletteRow(TemplateSuggestion suggestion, const QString& query, SelectHandler onSelect,
               QWidget* parent);

    const TemplateSuggestion& suggestion() const { return suggestion_; }
    const HighlightedLabel& label() const { return label_; }
    // A disabled row never shows the selection, even at the selected index.
    bool showsSelection() const { return isSelected_ && !suggestion_.isDisabled; }
    double labelOpacity() const { return suggestion_.isDisabled ? 0.3 : 1.0; }

    void setSelected(bool selected);
    void setQuery(const QString& query);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TemplateSuggestion suggestion_;
    HighlightedLabel label_;
    bool isSelected_ = false;
};

} // namespace pennial
