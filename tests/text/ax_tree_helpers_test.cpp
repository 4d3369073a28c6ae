#include "platform/ax_names.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_element_ref.hpp"
#include "text/ax_tree_helpers.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

class AXTreeHelpersTest : public ::testing::Test {
protected:
    AXTreeHelpersTest() {
        app = desktop.addApplication({700, "org.example.browser", "Browser"});
        window = app->addWindow("Page");
        window->add(SimElement::make(ax::role::toolbar))->add(SimElement::button("Back"));
        webArea = window->add(SimElement::webArea());
        webArea->add(SimElement::group(ax::subrole::landmarkBanner))
            ->add(SimElement::staticText("Site banner"));
        webArea->add(SimElement::group(ax::subrole::landmarkNavigation))
            ->add(SimElement::staticText("Nav link"));
        main = webArea->add(SimElement::group(ax::subrole::landmarkMain));
        main->add(SimElement::staticText("  First paragraph\n"));
        main->add(SimElement::image("Chart of sales"));
        main->add(SimElement::group())->add(SimElement::staticText("First paragraph"));
        main->add(SimElement::secureTextField("hunter2"));
        main->add(SimElement::staticText("role unknown"))->failReads("AXRole", AXError::noValue);
        focused = main->add(SimElement::textArea("my draft"));
        focused->add(SimElement::staticText("under the caret"));
        main->add(SimElement::button("Last words"));
        window->add(SimElement::make(ax::role::scrollBar))->set("AXValue", "0.5");
        desktop.focus(focused);
    }

    std::vector<std::string> harvest(const SimElementPtr& root, bool content) {
        TextHarvest harvest;
        if (content)
            AXTreeHelpers::collectContentText(scope, makeElementRef(root), harvest,
                                              makeElementRef(focused), 25, 500);
        else
            AXTreeHelpers::collectStaticText(scope, makeElementRef(root), harvest,
                                             makeElementRef(focused), 30);
        return harvest.texts;
    }

    SimDesktop desktop;
    CaptureScope scope{*desktop.accessibility(), CaptureDeadline::never()};
    std::shared_ptr<SimApplication> app;
    SimElementPtr window, webArea, main, focused;
};

using Texts = std::vector<std::string>;

TEST_F(AXTreeHelpersTest, HarvestsLeaveOutTheFocusedFieldPasswordsImagesAndRepeats) {
    EXPECT_EQ(harvest(main, false), (Texts{"First paragraph", "Last words"}));
    EXPECT_EQ(harvest(window, false),
              (Texts{"Page", "Back", "Site banner", "Nav link", "First paragraph", "Last words"}));
    // Content leaves out the page chrome too.
    EXPECT_EQ(harvest(window, true), (Texts{"Page", "First paragraph", "Last words"}));
}

TEST_F(AXTreeHelpersTest, AContainerOfImagesAndScrollBarsYieldsNothing) {
    auto gallery = window->add(SimElement::group());
    gallery->add(SimElement::image("Sunset"));
    gallery->add(SimElement::make(ax::role::scrollBar))->set("AXValue", "0.2");
    gallery->add(SimElement::make(ax::role::progressIndicator))->set("AXValue", "70%");
    EXPECT_TRUE(harvest(gallery, false).empty());
}

TEST_F(AXTreeHelpersTest, TheStaticHarvestStopsAtItsElementCap) {
    auto list = window->add(SimElement::group());
    for (int i = 0; i < 2000; ++i)
        list->add(SimElement::staticText("item " + std::to_string(i)));
    TextHarvest result;
    AXTreeHelpers::collectStaticText(scope, makeElementRef(list), result, makeElementRef(focused),
                                     30);
    EXPECT_EQ(result.elementCount, 500);
    EXPECT_EQ(result.texts.size(), 499u);
    EXPECT_EQ(result.texts.back(), "item 498");
}

TEST_F(AXTreeHelpersTest, AHarvestStopsAtTheDeadlineWithWhatItHas) {
    auto list = window->add(SimElement::group())->latency(10ms);
    for (int i = 0; i < 300; ++i)
        list->add(SimElement::staticText("item " + std::to_string(i)));
    CaptureScope limited(*desktop.accessibility(),
                         CaptureDeadline::after(500ms, [this] { return desktop.now(); }));
    auto start = desktop.now();
    TextHarvest result;
    AXTreeHelpers::collectStaticText(limited, makeElementRef(list), result, makeElementRef(focused),
                                     30);
    EXPECT_LE(desktop.now() - start, 540ms);
    EXPECT_GT(result.texts.size(), 5u);
    EXPECT_LT(result.texts.size(), 30u);
}

TEST_F(AXTreeHelpersTest, SearchesAndContentRoots) {
    auto found =
        AXTreeHelpers::findElementWithRole(scope, ax::role::window, makeElementRef(window), 5, 10);
    EXPECT_EQ(found, makeElementRef(window)) << "the root itself may match";
    EXPECT_EQ(AXTreeHelpers::findElementWithRole(scope, ax::role::webArea, makeElementRef(window),
                                                 1, 200),
              std::nullopt)
        << "children of the last depth are not examined";

    // The window around a page holds the browser's own buttons and address bar: never a root.
    auto roots = AXTreeHelpers::findContentRoots(scope, 700);
    EXPECT_EQ(roots, (std::vector{makeElementRef(main), makeElementRef(webArea)}));

    auto native = desktop.addApplication({701, "org.example.editor", "Editor"});
    auto nativeWindow = native->addWindow("Notes");
    nativeWindow->add(SimElement::textArea("text"));
    EXPECT_EQ(AXTreeHelpers::findContentRoots(scope, 701),
              (std::vector{makeElementRef(nativeWindow)}));
    EXPECT_TRUE(AXTreeHelpers::findContentRoots(scope, 999).empty());
}

// The simulated desktop, with a platform search that answers what a depth-first walk finds.
class SearchingAccessibility : public Accessibility {
public:
    explicit SearchingAccessibility(Accessibility& inner) : inner_(inner) {}
    bool isProcessTrusted(TrustCheck check) override { return inner_.isProcessTrusted(check); }
    AXElement systemWideElement() override { return inner_.systemWideElement(); }
    AXElement applicationElement(Pid pid) override { return inner_.applicationElement(pid); }
    AXResult<AXValue> copyAttributeValue(const AXElement& element,
                                         std::string_view attribute) override {
        return inner_.copyAttributeValue(element, attribute);
    }
    AXResult<AXAttributeResults>
    copyAttributeValues(const AXElement& element,
                        const std::vector<std::string>& attributes) override {
        return inner_.copyAttributeValues(element, attributes);
    }
    AXResult<AXValue> copyParameterizedAttributeValue(const AXElement& element,
                                                      std::string_view attribute,
                                                      const AXValue& parameter) override {
        return inner_.copyParameterizedAttributeValue(element, attribute, parameter);
    }
    AXError setAttributeValue(const AXElement& element, std::string_view attribute,
                              const AXValue& value) override {
        return inner_.setAttributeValue(element, attribute, value);
    }
    AXError setMessagingTimeout(const AXElement& element,
                                std::chrono::duration<double> timeout) override {
        return inner_.setMessagingTimeout(element, timeout);
    }
    AXResult<Pid> processId(const AXElement& element) override { return inner_.processId(element); }
    AXResult<std::vector<AXFoundElement>> findElements(const AXElement& root, std::string_view name,
                                                       bool bySubrole, int maxDepth) override {
        std::vector<AXFoundElement> found;
        std::function<void(const AXElement&, int)> visit = [&](const AXElement& element,
                                                               int depth) {
            if (depth >= maxDepth)
                return;
            auto value = inner_.copyAttributeValue(element, bySubrole ? "AXSubrole" : "AXRole");
            if (value.ok() && value.value()->asString() == name)
                found.push_back({element, depth});
            auto children = inner_.copyAttributeValue(element, "AXChildren");
            if (children.ok())
                for (const auto& child :
                     children.value()->asElements().value_or(std::vector<AXElement>{}))
                    visit(child, depth + 1);
        };
        visit(root, 0);
        return found;
    }

private:
    Accessibility& inner_;
};

TEST(AXTreeHelpersSearch, APlatformSearchFindsWhatTheWalkFinds) {
    const auto seed = std::random_device{}();
    std::mt19937 random(seed);
    for (int round = 0; round < 200; ++round) {
        SimDesktop desktop;
        SearchingAccessibility searching(*desktop.accessibility());
        CaptureScope walked{*desktop.accessibility(), CaptureDeadline::never()};
        CaptureScope searched{searching, CaptureDeadline::never()};
        auto window = desktop.addApplication({700, "org.example.app", "App"})->addWindow("W");
        std::vector<std::pair<SimElementPtr, int>> parents{{window, 0}};
        for (int i = 0; i < 40; ++i) {
            auto [parent, depth] = parents[random() % parents.size()];
            auto kind = random() % 6;
            auto child = parent->add(kind == 0   ? SimElement::webArea()
                                     : kind == 1 ? SimElement::group(ax::subrole::landmarkMain)
                                                 : SimElement::group());
            if (depth < 9)
                parents.emplace_back(child, depth + 1);
        }
        const auto root = makeElementRef(window);
        for (int maxDepth : {1, 3, 5, 10}) {
            EXPECT_EQ(
                AXTreeHelpers::findElementWithRole(searched, ax::role::webArea, root, maxDepth,
                                                   999),
                AXTreeHelpers::findElementWithRole(walked, ax::role::webArea, root, maxDepth, 999))
                << "seed " << seed << ", round " << round << ", depth " << maxDepth;
            EXPECT_EQ(AXTreeHelpers::findElementWithSubrole(searched, ax::subrole::landmarkMain,
                                                            root, maxDepth, 999),
                      AXTreeHelpers::findElementWithSubrole(walked, ax::subrole::landmarkMain, root,
                                                            maxDepth, 999))
                << "seed " << seed << ", round " << round << ", depth " << maxDepth;
        }
    }
}

// The simulated desktop without a search, with a subtree read that answers what the element
// reads answer, counting the reads a walk still makes.
class ReadingAheadAccessibility : public SearchingAccessibility {
public:
    explicit ReadingAheadAccessibility(Accessibility& inner)
        : SearchingAccessibility(inner), inner_(inner) {}
    AXResult<AXValue> copyAttributeValue(const AXElement& element,
                                         std::string_view attribute) override {
        ++reads[std::string(attribute)];
        return inner_.copyAttributeValue(element, attribute);
    }
    AXResult<std::vector<AXFoundElement>> findElements(const AXElement&, std::string_view, bool,
                                                       int) override {
        return AXError::attributeUnsupported;
    }
    AXResult<std::vector<AXSubtreeElement>> readSubtree(const AXElement& root,
                                                        const AXSubtreeLimits& limits) override {
        ++subtreeReads;
        std::vector<AXSubtreeElement> elements{{root, {}}};
        std::vector<int> depths{0};
        for (std::size_t at = 0; at < elements.size(); ++at) {
            const auto element = elements[at].element;
            std::vector<std::pair<std::string, AXResult<AXValue>>> answers;
            for (auto name : {"AXRole", "AXTitle", "AXDescription", "AXChildren"})
                answers.emplace_back(name, inner_.copyAttributeValue(element, name));
            const auto role =
                answers[0].second.ok() ? answers[0].second.value()->asString() : std::nullopt;
            const auto children =
                answers[3].second.ok() ? answers[3].second.value()->asElements() : std::nullopt;
            elements[at].answers = std::move(answers);
            const auto& leaves = limits.leafRoles;
            if (!children || depths[at] + 1 >= limits.maxDepth ||
                (role && std::find(leaves.begin(), leaves.end(), *role) != leaves.end()))
                continue;
            for (const auto& child : *children) {
                if (static_cast<int>(elements.size()) >= limits.maxElements)
                    break;
                if (child == limits.except)
                    continue;
                elements.push_back({child, {}});
                depths.push_back(depths[at] + 1);
            }
        }
        return elements;
    }

    std::map<std::string, int> reads;
    int subtreeReads = 0;

private:
    Accessibility& inner_;
};

TEST(AXTreeHelpersReadAhead, AWalkReadAheadFindsWhatTheWalkFindsAndAsksOnlyForValues) {
    const auto seed = std::random_device{}();
    std::mt19937 random(seed);
    const std::vector<std::string> words = {"Open", "Save", "notes", "Open", "draft", ""};
    for (int round = 0; round < 100; ++round) {
        SimDesktop desktop;
        auto window = desktop.addApplication({700, "org.example.app", "App"})->addWindow("W");
        std::vector<std::pair<SimElementPtr, int>> parents{{window, 0}};
        SimElementPtr focused;
        for (int i = 0; i < 60; ++i) {
            auto [parent, depth] = parents[random() % parents.size()];
            const auto& word = words[random() % words.size()];
            SimElementPtr child;
            switch (random() % 8) {
            case 0:
                child = SimElement::staticText(word);
                break;
            case 1:
                child = SimElement::button(word);
                break;
            case 2:
                child = SimElement::image(word);
                break;
            case 3:
                child = SimElement::secureTextField(word);
                break;
            case 4:
                child = SimElement::make(ax::role::toolbar);
                break;
            case 5:
                child = SimElement::group(ax::subrole::landmarkBanner);
                break;
            case 6:
                child = SimElement::textArea(word);
                break;
            default:
                child = SimElement::group();
                break;
            }
            parent->add(child);
            if (!focused && random() % 10 == 0)
                focused = child;
            if (depth < 7)
                parents.emplace_back(child, depth + 1);
        }
        const auto root = makeElementRef(window);
        const auto field = focused ? makeElementRef(focused) : AXElement();
        for (int maxElements : {500, 12}) {
            ReadingAheadAccessibility reading(*desktop.accessibility());
            CaptureScope walked{*desktop.accessibility(), CaptureDeadline::never()};
            CaptureScope ahead{reading, CaptureDeadline::never(), CaptureScope::Answers::keepFirst};
            ahead.setFocusedElement(field);
            const auto where = "seed " + std::to_string(seed) + ", round " + std::to_string(round) +
                               ", at most " + std::to_string(maxElements);
            EXPECT_EQ(AXTreeHelpers::findElementWithRole(ahead, ax::role::webArea, root, 10, 400),
                      AXTreeHelpers::findElementWithRole(walked, ax::role::webArea, root, 10, 400))
                << where;
            for (bool content : {false, true}) {
                TextHarvest expected, found;
                if (content) {
                    AXTreeHelpers::collectContentText(walked, root, expected, field, 25,
                                                      maxElements);
                    AXTreeHelpers::collectContentText(ahead, root, found, field, 25, maxElements);
                } else {
                    AXTreeHelpers::collectStaticText(walked, root, expected, field, 30,
                                                     maxElements);
                    AXTreeHelpers::collectStaticText(ahead, root, found, field, 30, maxElements);
                }
                EXPECT_EQ(found.texts, expected.texts) << where << (content ? ", content" : "");
            }
            EXPECT_EQ(reading.subtreeReads, 1) << where << ": one read serves every walk";
        }
        // A harvest the read covered asks the application for nothing the read answered.
        ReadingAheadAccessibility reading(*desktop.accessibility());
        CaptureScope ahead{reading, CaptureDeadline::never(), CaptureScope::Answers::keepFirst};
        TextHarvest harvest;
        AXTreeHelpers::collectStaticText(ahead, root, harvest, field, 30);
        for (auto name : {"AXRole", "AXTitle", "AXDescription", "AXChildren"})
            EXPECT_EQ(reading.reads[name], 0) << "seed " << seed << ", round " << round << name;
    }
}

TEST_F(AXTreeHelpersTest, TheWholeTextReadIsCappedInUtf16Units) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "é😀";
    auto document = window->add(SimElement::group()->supportWholeText()->documentText(text));
    auto whole = AXTreeHelpers::getFullTextViaStringForRange(scope, makeElementRef(document));
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, text.substr(0, 10000 * std::string("é😀").size()));
}

TEST(AnonymizedTree, HoldsTwoHundredNodesAtMostAndThirtyLevels) {
    SimDesktop desktop;
    CaptureScope scope{*desktop.accessibility(), CaptureDeadline::never()};
    auto app = desktop.addApplication({700, "org.example.app", "App"});
    auto window = app->addWindow("Secret title");
    auto deep = window;
    for (int depth = 1; depth < 45; ++depth)
        deep = deep->add(SimElement::group(depth == 3 ? "AXLandmarkMain" : ""));
    deep->add(SimElement::staticText("secret text"));

    auto tree = AXTreeHelpers::captureAnonymizedTree(scope, 700, 200);
    ASSERT_EQ(tree.size(), 30u);
    EXPECT_EQ(tree.front(), (AnonymizedTreeNode{"AXWindow", std::nullopt, 1, 0}));
    EXPECT_EQ(tree[3], (AnonymizedTreeNode{"AXGroup", "AXLandmarkMain", 1, 3}));
    EXPECT_EQ(tree.back().depth, 29);

    auto wide = app->addWindow("Wide");
    app->focusWindow(wide);
    for (int i = 0; i < 300; ++i)
        wide->add(SimElement::staticText("row"));
    tree = AXTreeHelpers::captureAnonymizedTree(scope, 700, 200);
    EXPECT_EQ(tree.size(), 200u);
    EXPECT_EQ(tree.front().childCount, 300);
    EXPECT_EQ(tree.back(), (AnonymizedTreeNode{"AXStaticText", std::nullopt, 0, 1}));
}

TEST(AnonymizedTree, NodesCarryNoTextAndOmitAbsentRoles) {
    EXPECT_EQ(json::dump((AnonymizedTreeNode{"AXGroup", std::nullopt, 2, 1}).toJson()),
              R"({"role":"AXGroup","childCount":2,"depth":1})");
    EXPECT_EQ(json::dump((AnonymizedTreeNode{std::nullopt, std::nullopt, 0, 4}).toJson()),
              R"({"childCount":0,"depth":4})");
    auto node = AnonymizedTreeNode{"AXWebArea", "AXLandmarkMain", 3, 2};
    EXPECT_EQ(AnonymizedTreeNode::fromJson(Json::parse(json::dump(node.toJson()))), node);
    EXPECT_THROW(AnonymizedTreeNode::fromJson(Json::parse(R"({"role":"AXGroup","depth":1})")),
                 JsonShapeError);
}

} // namespace

TEST_F(AXTreeHelpersTest, ACapturesTimeOutsEndWithIt) {
    focused->latency(15ms);
    const auto handed = makeElementRef(focused);
    const auto copy = handed; // copies share the handle's time-out
    {
        CaptureScope capture{*desktop.accessibility(),
                             CaptureDeadline::after(1ms, [this] { return desktop.now(); })};
        capture.setTimeout(handed, 0.5s);
        EXPECT_EQ(desktop.accessibility()->copyAttributeValue(copy, "AXValue").error(),
                  AXError::cannotComplete)
            << "the capture's last millisecond";
    }
    EXPECT_TRUE(desktop.accessibility()->copyAttributeValue(copy, "AXValue").ok());
}
