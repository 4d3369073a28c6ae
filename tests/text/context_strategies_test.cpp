#include "platform/ax_names.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_element_ref.hpp"
#include "text/baseline_strategy.hpp"
#include "text/batch_tree_walk_strategy.hpp"
#include "text/parent_walk_v2_strategy.hpp"
#include "text/text_marker_strategy.hpp"

#include <gtest/gtest.h>

using namespace pennial;

namespace {

class ContextStrategiesTest : public ::testing::Test {
protected:
    ContextStrategiesTest() {
        app = desktop.addApplication({800, "org.example.app", "App"});
        window = app->addWindow("Window");
    }

    std::optional<std::string> capture(const ContextStrategy& strategy) {
        // As the router's scope knows it.
        scope.setFocusedElement(makeElementRef(focused));
        return strategy.captureSurroundingText(makeElementRef(focused), 800, scope);
    }
    std::size_t callsOf(std::string_view attribute) {
        return desktop.callLog()
            .calls([&](const SimCall& call) { return call.attribute == attribute; })
            .size();
    }

    SimDesktop desktop;
    CaptureScope scope{*desktop.accessibility(), CaptureDeadline::never()};
    std::shared_ptr<SimApplication> app;
    SimElementPtr window;
    SimElementPtr focused;
};

TEST_F(ContextStrategiesTest, TextMarkersReadAWebAreaNearTheWindowWithoutWalkingUp) {
    auto webArea = window->add(SimElement::group())
                       ->add(SimElement::group())
                       ->add(SimElement::webArea()->supportTextMarkers());
    webArea->documentText("  Hello\n\n\n\nworld\uFFFC\uE001 ");
    focused = webArea->add(SimElement::textArea("draft"));
    desktop.focus(focused);
    EXPECT_EQ(capture(TextMarkerStrategy()), "Hello\n\nworld");
    EXPECT_EQ(callsOf("AXParent"), 0u);
    EXPECT_EQ(app->element()->storedAttribute("AXEnhancedUserInterface"), AXValue(true));
}

TEST_F(ContextStrategiesTest, TextMarkersWalkUpToAConversationOrTheOutermostLandmark) {
    // Deeper than the window-level search reaches.
    auto deep = window;
    for (int i = 0; i < 4; ++i)
        deep = deep->add(SimElement::group());
    auto outer = deep->add(SimElement::group(ax::subrole::landmarkMain));
    outer->supportTextMarkers()->documentText("outer landmark");
    auto inner = outer->add(SimElement::group(ax::subrole::applicationGroup));
    inner->supportTextMarkers()->documentText("inner landmark");
    focused = inner->add(SimElement::group())->add(SimElement::textField());
    desktop.focus(focused);
    EXPECT_EQ(capture(TextMarkerStrategy()), "outer landmark");

    auto chat = inner->add(SimElement::group()->set("AXDescription", "Chat Messages"));
    chat->supportTextMarkers()->documentText("the conversation");
    focused = chat->add(SimElement::textField());
    EXPECT_EQ(capture(TextMarkerStrategy()), "the conversation");
}

TEST_F(ContextStrategiesTest, ANativeWindowFallsThroughToTheBaselineHarvest) {
    window->add(SimElement::staticText("Subject: plans"));
    window->add(SimElement::staticText("Let us meet on Monday."));
    focused = window->add(SimElement::textArea("my reply"));
    desktop.focus(focused);
    EXPECT_EQ(capture(TextMarkerStrategy()), std::nullopt);
    EXPECT_EQ(capture(BaselineStrategy()), "Window\nSubject: plans\nLet us meet on Monday.");

    window->supportWholeText()->documentText("the window's whole text");
    EXPECT_EQ(capture(BaselineStrategy()), "the window's whole text");
}

TEST_F(ContextStrategiesTest, CleanOutputShrinksBlankRunsAndDropsPrivateUse) {
    EXPECT_EQ(TextMarkerStrategy::cleanOutput("a\uFFFC\uFFFC\uFFFC\uFFFCb"), "a\n\nb");
    EXPECT_EQ(TextMarkerStrategy::cleanOutput("\n x\uF8FF\U000F0001y\n\n\n\U00100000\nz \n"),
              "xy\n\nz");
    EXPECT_EQ(TextMarkerStrategy::cleanOutput("keep 😀 and \U0001F600"), "keep 😀 and 😀");
}

TEST_F(ContextStrategiesTest, ParentWalkPicksTheLandmarkOrAnAncestorSixTenthsUp) {
    EXPECT_EQ(ParentWalkV2Strategy::containerIndex(1), 0u);
    EXPECT_EQ(ParentWalkV2Strategy::containerIndex(2), 1u);
    EXPECT_EQ(ParentWalkV2Strategy::containerIndex(3), 2u);
    EXPECT_EQ(ParentWalkV2Strategy::containerIndex(4), 2u);
    EXPECT_EQ(ParentWalkV2Strategy::containerIndex(5), 3u);
    EXPECT_EQ(ParentWalkV2Strategy::containerIndex(10), 6u);
    EXPECT_EQ(ParentWalkV2Strategy::containerIndex(20), 12u);

    // Three ancestors below the window: the third, the outermost, is harvested.
    auto third = window->add(SimElement::group());
    third->add(SimElement::staticText("beside the second"));
    auto second = third->add(SimElement::group());
    second->add(SimElement::staticText("beside the first"));
    auto first = second->add(SimElement::group());
    focused = first->add(SimElement::textField("typing"));
    EXPECT_EQ(capture(ParentWalkV2Strategy()), "beside the second\nbeside the first");

    // A main landmark on the way is the container.
    second->set("AXSubrole", std::string(ax::subrole::landmarkMain));
    EXPECT_EQ(capture(ParentWalkV2Strategy()), "beside the first");
}

TEST_F(ContextStrategiesTest, APageIsHarvestedWithoutTheBrowserAroundIt) {
    // A browser's panels nest the page deep in the window, its buttons and address bar beside.
    auto panels =
        window->add(SimElement::group())->add(SimElement::group())->add(SimElement::group());
    auto chrome = panels->add(SimElement::group());
    chrome->add(SimElement::button("Reload"));
    chrome->add(SimElement::staticText("https://example.test/"));
    auto page =
        panels->add(SimElement::group())->add(SimElement::group())->add(SimElement::webArea());
    page->add(SimElement::staticText("Short page"));
    focused = page->add(SimElement::group())->add(SimElement::textArea("typing"));
    const BaselineStrategy baseline;
    const ParentWalkV2Strategy parentWalk;
    const BatchTreeWalkStrategy batchWalk;
    for (const ContextStrategy* strategy :
         std::vector<const ContextStrategy*>{&baseline, &parentWalk, &batchWalk}) {
        SCOPED_TRACE(strategy->name());
        EXPECT_EQ(capture(*strategy), "Short page");
    }
}

TEST_F(ContextStrategiesTest, AWordProcessorsParagraphHasTheOtherParagraphsAroundIt) {
    window->add(SimElement::make(ax::role::menuBar))->add(SimElement::staticText("File"));
    window->add(SimElement::staticText("Page 1 of 1"));
    auto document = window->add(SimElement::group())->add(SimElement::make(ax::role::documentText));
    for (auto words : {"Dear Ada,", "", "Kind regards"}) {
        auto paragraph = document->add(SimElement::make("AXParagraph")->set("AXValue", words));
        if (*words == '\0')
            focused = paragraph;
    }
    desktop.focus(focused);
    EXPECT_EQ(capture(BaselineStrategy()), "Dear Ada,\nKind regards");
    // A document of one paragraph: the window's text, as elsewhere.
    focused = window->add(SimElement::make(ax::role::documentText))
                  ->add(SimElement::make("AXParagraph")->set("AXValue", "alone"));
    desktop.focus(focused);
    EXPECT_EQ(capture(BaselineStrategy()), "Window\nFile\nPage 1 of 1\nDear Ada,\nKind regards");
}

TEST_F(ContextStrategiesTest, BatchWalkReadsEachElementInOneRequest) {
    auto list = window->add(SimElement::group());
    list->add(SimElement::make(ax::role::staticText)->set("AXValue", 42)->set("AXTitle", "Total"));
    list->add(SimElement::make(ax::role::staticText)->set("AXValue", "")->set("AXTitle", "hidden"));
    list->add(SimElement::secureTextField("hunter2"));
    list->add(SimElement::image("logo"));
    focused = list->add(SimElement::textField("typing"));
    desktop.callLog().clear();
    EXPECT_EQ(capture(BatchTreeWalkStrategy()), "Window\nTotal");
    auto batches = desktop.callLog().count(SimCallKind::copyAttributes);
    EXPECT_EQ(batches, 6u) << "the window, the list and its children but the focused field";
    EXPECT_EQ(desktop.callLog()
                  .calls([](const SimCall& call) {
                      return call.kind == SimCallKind::copyAttribute && call.attribute == "AXValue";
                  })
                  .size(),
              0u);
}

} // namespace
