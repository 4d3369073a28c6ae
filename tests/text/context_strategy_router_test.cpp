#include "base/log.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_element_ref.hpp"
#include "text/context_strategy_router.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

// Answers a fixed text after taking the given time of the simulated desktop.
class ScriptedStrategy : public ContextStrategy {
public:
    ScriptedStrategy(std::string name, std::optional<std::string> text, SimClock& clock,
                     SimClock::Clock::duration takes = {})
        : name_(std::move(name)), text_(std::move(text)), clock_(clock), takes_(takes) {}

    std::string_view name() const override { return name_; }
    std::optional<std::string> captureSurroundingText(const AXElement&, Pid,
                                                      const CaptureScope&) const override {
        ++runs;
        clock_.pass(takes_);
        return text_;
    }
    mutable int runs = 0;

private:
    std::string name_;
    std::optional<std::string> text_;
    SimClock& clock_;
    SimClock::Clock::duration takes_;
};

struct Report {
    std::string bundleIdentifier, appName, strategyUsed;
    std::size_t nodes;
};

class ContextStrategyRouterTest : public ::testing::Test {
protected:
    ContextStrategyRouterTest() {
        auto app = desktop.addApplication({900, "com.example.chat", "Chat"});
        auto window = app->addWindow("Room");
        window->add(SimElement::group())->add(SimElement::staticText("hello"));
        field = window->add(SimElement::textField());
        desktop.focus(field);
    }

    ScriptedStrategy* add(std::string name, std::optional<std::string> text,
                          SimClock::Clock::duration takes = {}) {
        chain.push_back(std::make_unique<ScriptedStrategy>(std::move(name), std::move(text),
                                                           desktop.clock(), takes));
        return static_cast<ScriptedStrategy*>(chain.back().get());
    }

    void build(bool withHook = true) {
        router = std::make_unique<ContextStrategyRouter>(desktop.accessibility(), std::move(chain));
        if (withHook)
            hook();
    }
    void hook() {
        router->setOnUnknownApp([this](const std::string& bundle, const std::string& app,
                                       const std::string& strategy,
                                       const std::vector<AnonymizedTreeNode>& tree) {
            reports.push_back({bundle, app, strategy, tree.size()});
        });
    }

    ContextStrategyRouter::Result capture(std::string bundle = "com.example.chat") {
        auto deadline = CaptureDeadline::after(2s, [this] { return desktop.now(); });
        return router->captureSurroundingText(makeElementRef(field), 900, bundle, "Chat", deadline);
    }

    SimDesktop desktop;
    SimElementPtr field;
    std::vector<std::unique_ptr<ContextStrategy>> chain;
    std::unique_ptr<ContextStrategyRouter> router;
    std::vector<Report> reports;
};

TEST_F(ContextStrategyRouterTest, TheFirstTextOfTwoHundredCharactersWins) {
    add("short", std::string(199, 'a'));
    auto second = add("enough", std::string(190, 'b') + "ééééééééé😀"); // 200 characters
    auto third = add("later", std::string(500, 'c'));
    build();
    LogCapture log;
    auto result = capture();
    EXPECT_EQ(result.strategyUsed, "enough");
    EXPECT_EQ(result.text, std::string(190, 'b') + "ééééééééé😀");
    EXPECT_EQ(second->runs, 1);
    EXPECT_EQ(third->runs, 0);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"🔍 [ContextRouter] 'Chat' → enough → 200 chars"}));
    EXPECT_TRUE(reports.empty());
}

TEST_F(ContextStrategyRouterTest, AnApplicationWhereAllFailIsReportedOncePerRun) {
    add("short", std::string(150, 'a'));
    add("nothing", std::nullopt);
    build();
    LogCapture log;
    auto result = capture();
    EXPECT_EQ(result.text, std::nullopt);
    EXPECT_EQ(result.strategyUsed, "none");
    EXPECT_TRUE(log.contains("🔍 [ContextRouter] 'Chat' → all strategies failed"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].bundleIdentifier, "com.example.chat");
    EXPECT_EQ(reports[0].strategyUsed, "none");
    EXPECT_EQ(reports[0].nodes, 4u) << "window, group, text and field";

    capture();
    EXPECT_EQ(reports.size(), 1u);
    capture("com.example.other");
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(ContextStrategyRouterTest, AFailureBeforeTheHookIsSetIsStillRecorded) {
    add("nothing", std::nullopt);
    build(false);
    capture();
    hook();
    capture();
    EXPECT_TRUE(reports.empty());
}

TEST_F(ContextStrategyRouterTest, TheDeadlineEndsTheChainWithoutAReport) {
    auto slow = add("slow", std::string(20, 'a'), 2100ms);
    auto next = add("next", std::string(500, 'b'));
    build();
    LogCapture log;
    auto result = capture();
    EXPECT_EQ(result.text, std::nullopt);
    EXPECT_EQ(slow->runs, 1);
    EXPECT_EQ(next->runs, 0);
    EXPECT_TRUE(log.contains("⏱️ [ContextRouter] 'Chat' → deadline reached during slow"));
    EXPECT_TRUE(reports.empty()) << "a slow application is not an unknown one";
}

TEST(ContextStrategyRouter, RunsTheFourStrategiesInOrder) {
    SimDesktop desktop;
    ContextStrategyRouter router(desktop.accessibility());
    std::vector<std::string_view> names;
    for (const auto& strategy : router.defaultChain())
        names.push_back(strategy->name());
    EXPECT_EQ(names, (std::vector<std::string_view>{"textmarker", "baseline", "parent-walk-v2",
                                                    "batch-tree-walk"}));
}

} // namespace
