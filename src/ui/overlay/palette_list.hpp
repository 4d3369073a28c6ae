#pragma once
// The palette's rows in a scrolling list that shows at most three at a time and keeps the
// selected one in view, or "No matches" when nothing fits the query.

#include "ui/overlay/palette_row.hpp"

#include <QScrollArea>
#include <vector>

class QLabel;
class QVariantAnimation;

namespace pennial {

class PaletteList : public QScrollArea {
public:
    PaletteList(PaletteRow::SelectHandler onSelect, QWidget* parent);

    void setRows(const std::vector<TemplateSuggestion>& suggestions, const QString& query);
    // The same rows under a new query: their labels change, nothing is rebuilt.
    void setQuery(const QString& query);
    // Marks the row; with `scroll`, brings it to the middle of the list as far as the list
    // scrolls. An index outside the rows marks and scrolls nothing.
    void setSelectedIndex(int index, bool scroll);

    const std::vector<PaletteRow*>& rows() const { return rows_; }
    // The list's height for its rows: one to three rows' worth.
    int listHeight() const;

private:
    void scrollToCentre(int index);

    PaletteRow::SelectHandler onSelect_;
    QWidget* content_;
    QLabel* noMatches_ = nullptr;
    std::vector<PaletteRow*> rows_;
    int selectedIndex_ = -1;
    QVariantAnimation* scrolling_ = nullptr;
};

} // namespace pennial
