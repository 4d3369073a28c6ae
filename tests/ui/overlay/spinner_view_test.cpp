#include "ui_support/qt_wait.hpp"
#include "ui/design/pn_animations.hpp"
#include "ui/overlay/palette_card.hpp"
#include "ui/overlay/palette_list.hpp"
#include "ui/overlay/palette_logo.hpp"
#include "ui/overlay/processing_row.hpp"
#include "ui/overlay/spinner_view.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace pennial {
namespace {

class SpinnerViewTest : public ::testing::Test {
protected:
    static std::vector<TemplateSuggestion> rows(int count) {
        std::vector<TemplateSuggestion> rows;
        for (int i = 0; i < count; ++i)
            rows.push_back({"cmd" + std::to_string(i), "Command " + std::to_string(i), false});
        return rows;
    }

    // A palette as the controller leaves it, laid out at its panel's size.
    void showPalette(std::vector<TemplateSuggestion> suggestions, double height = 100,
                     double width = 200) {
        model.setMode(SpinnerOverlayMode::commandPalette);
        model.setSuggestions(std::move(suggestions));
        model.setPanelHeight(height);
        model.setRevealed(true);
        view.resize(static_cast<int>(width), static_cast<int>(height));
        view.show();
        settle();
    }

    void settle() {
        view.card()->layout()->activate();
        view.list()->widget()->layout()->activate();
        QCoreApplication::processEvents();
    }

    const std::vector<PaletteRow*>& shownRows() const { return view.list()->rows(); }
    int scrolled() const { return view.list()->verticalScrollBar()->value(); }

    SpinnerStatusModel model;
    std::vector<std::string> selected;
    SpinnerView view{model, [this](const std::string& name) { selected.push_back(name); }, nullptr};
};

TEST_F(SpinnerViewTest, AnEmptyListSaysNoMatchesInOneRowWithoutSelection) {
    showPalette({});
    auto* noMatches = view.list()->findChild<QLabel*>("NoMatches");
    ASSERT_NE(noMatches, nullptr);
    EXPECT_EQ(noMatches->text(), "No matches");
    EXPECT_TRUE(noMatches->isVisibleTo(&view));
    EXPECT_TRUE(shownRows().empty());
    EXPECT_EQ(view.list()->maximumHeight(), 24);

    model.setSuggestions(rows(1));
    EXPECT_EQ(view.list()->findChild<QLabel*>("NoMatches"), nullptr);
}

TEST_F(SpinnerViewTest, TheListShowsOneToThreeRowsAndScrollsBeyond) {
    for (const int count : {1, 2, 3, 5}) {
        model.setSuggestions(rows(count));
        EXPECT_EQ(view.list()->maximumHeight(), 24 * std::min(count, 3)) << count;
        EXPECT_EQ(static_cast<int>(shownRows().size()), count);
    }
    showPalette(rows(5));
    EXPECT_EQ(view.list()->height(), 72);

    // Moving the selection brings its row to the middle, as far as the list scrolls.
    model.setSelectedIndex(2);
    EXPECT_EQ(scrolled(), 2 * 24 + 12 - 36);
    model.setSelectedIndex(4);
    EXPECT_EQ(scrolled(), 48); // the end of the range
    model.setSelectedIndex(3);
    EXPECT_EQ(scrolled(), 48);
    model.setSelectedIndex(0);
    EXPECT_EQ(scrolled(), 0);

    // A new list under the same selection stays where it is.
    model.setSelectedIndex(3);
    model.setSuggestions(rows(6));
    EXPECT_EQ(scrolled(), 48);
    EXPECT_TRUE(shownRows()[3]->showsSelection());
}

TEST_F(SpinnerViewTest, OnlyTheSelectedEnabledRowShowsTheSelection) {
    auto suggestions = rows(3);
    suggestions[1].isDisabled = true;
    showPalette(suggestions);
    model.setSelectedIndex(0);
    EXPECT_TRUE(shownRows()[0]->showsSelection());
    EXPECT_FALSE(shownRows()[1]->showsSelection());

    model.setSelectedIndex(1);
    EXPECT_FALSE(shownRows()[0]->showsSelection());
    EXPECT_FALSE(shownRows()[1]->showsSelection()); // disabled: never selected-looking
    EXPECT_EQ(shownRows()[1]->labelOpacity(), 0.3);
    EXPECT_EQ(shownRows()[2]->labelOpacity(), 1.0);

    for (const int outside : {-1, 3, 17}) {
        model.setSelectedIndex(outside);
        for (const PaletteRow* row : shownRows())
            EXPECT_FALSE(row->showsSelection()) << outside;
    }
}

TEST_F(SpinnerViewTest, AClickOnAnEnabledRowReportsItsNameAndADisabledRowNothing) {
    auto suggestions = rows(3);
    suggestions[0].isDisabled = true;
    showPalette(suggestions);
    model.setSelectedIndex(0);

    shownRows()[0]->click();
    EXPECT_TRUE(selected.empty());
    shownRows()[2]->click();
    EXPECT_EQ(selected, std::vector<std::string>{"cmd2"});
}

TEST_F(SpinnerViewTest, RowsSetTheQueryInBold) {
    showPalette({{"translate", "Translate", false}, {"fix", "Fix grammar", false}});
    const PaletteRow* first = shownRows()[0];
    model.setQuery("ANS");
    EXPECT_EQ(shownRows()[0], first); // typing on relabels the rows it already has
    EXPECT_EQ(shownRows()[0]->label(), (HighlightedLabel{"Tr", "ans", "late"}));
    EXPECT_EQ(shownRows()[1]->label(), (HighlightedLabel{"Fix grammar", "", ""}));
    model.setQuery("");
    EXPECT_EQ(shownRows()[0]->label(), (HighlightedLabel{"Translate", "", ""}));
}

TEST_F(SpinnerViewTest, ProcessingShowsOnlyTheSpinnerAndTheVerb) {
    showPalette(rows(2));
    EXPECT_TRUE(view.logo()->isVisibleTo(&view));
    EXPECT_FALSE(view.processingRow()->isVisibleTo(&view));

    model.setVerb("Noodling");
    model.setProcessing(true);
    EXPECT_FALSE(view.logo()->isVisibleTo(&view));
    EXPECT_FALSE(view.list()->isVisibleTo(&view));
    EXPECT_TRUE(view.processingRow()->isVisibleTo(&view));
    EXPECT_EQ(view.processingRow()->verbLabel()->text(), "Noodling");
    model.setVerb("Buffing");
    EXPECT_EQ(view.processingRow()->verbLabel()->text(), "Buffing");
}

TEST_F(SpinnerViewTest, UnderTheNotchTheContentStartsBelowIt) {
    model.setNotchDocked(true);
    model.setNotchHeight(32);
    showPalette(rows(2), 76 + 37);

    EXPECT_EQ(view.revealOffset(), -20);
    EXPECT_EQ(view.card()->pos().y(), -20);
    EXPECT_EQ(view.logo()->mapTo(&view, QPoint(0, 0)).y(), 32);
    EXPECT_TRUE(view.card()->shape().isBlack());
}

TEST_F(SpinnerViewTest, AHiddenCardWaitsBeyondItsDockingEdge) {
    showPalette(rows(1), 52);
    EXPECT_EQ(view.card()->pos().y(), 0);
    model.setRevealed(false);
    EXPECT_EQ(view.card()->pos().y(), -52); // up, out through the top

    model.setBottomDocked(true);
    model.setPanelHeight(72);
    EXPECT_EQ(view.card()->pos().y(), 72); // down, out through the bottom
    model.setRevealed(true);
    EXPECT_EQ(view.card()->pos().y(), 0);
}

TEST_F(SpinnerViewTest, WithAnimationsTheCardSlidesAndComesToRestAtItsPlace) {
    PNAnimations::setEnabled(true);
    showPalette(rows(1), 52);
    model.setRevealed(false);
    model.setRevealed(true); // turned back halfway
    EXPECT_TRUE(testing::processEventsUntil([&] { return view.card()->pos().y() == 0; }));
    testing::processEventsFor(std::chrono::milliseconds(400));
    EXPECT_EQ(view.card()->pos().y(), 0);

    model.setVerb("Noodling");
    model.setProcessing(true);
    model.setVerb("Buffing");
    EXPECT_EQ(view.processingRow()->verbLabel()->text(), "Buffing");
    model.setSelectedIndex(0);
    PNAnimations::setEnabled(false);
}

TEST(PaletteCardShape, TheNotchWinsWhenBothEdgesAreSet) {
    const QRectF card(0, 0, 200, 100);
    const auto outline = PaletteCardShape{true, true}.outline(card);
    EXPECT_TRUE(outline.contains(QPointF(0.5, 0.5)));     // square top
    EXPECT_FALSE(outline.contains(QPointF(199.5, 99.5))); // round bottom
    EXPECT_TRUE((PaletteCardShape{true, true}.isBlack()));
}

TEST(PaletteLogo, TheWordmarkIsReadAndKeepsItsProportions) {
    EXPECT_TRUE(PaletteLogo::isArtworkReadable());
    const QImage& logo = PaletteLogo::pennialLogo();
    EXPECT_NEAR(static_cast<double>(logo.width()) / logo.height(), 304.0 / 63.0, 0.05);
}

} // namespace
} // namespace pennial
