#include "base/log.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_element_ref.hpp"
#include "platform/sim/sim_page.hpp"
#include "support/sim_run.hpp"
#include "text/accessibility_error.hpp"
#include "text/ax_accessibility_provider.hpp"

#include <asio/io_context.hpp>
#include <asio/thread_pool.hpp>
#include <gtest/gtest.h>
#include <thread>

using namespace pennial;
using namespace std::chrono_literals;
using Kind = AccessibilityError::Kind;

namespace {

// Hands the router a fixed text, to look at what the provider does with it.
class FixedStrategy : public ContextStrategy {
public:
    explicit FixedStrategy(std::string text) : text_(std::move(text)) {}
    std::string_view name() const override { return "fixed"; }
    std::optional<std::string> captureSurroundingText(const AXElement&, Pid,
                                                      const CaptureScope&) const override {
        return text_;
    }

private:
    std::string text_;
};

class AXAccessibilityProviderTest : public ::testing::Test {
protected:
    AXAccessibilityProviderTest() {
        app = desktop.addApplication({501, "com.example.notes", "Notes"});
        window = app->addWindow("Shopping list");
        field = window->add(SimElement::textArea("milk, eggs"))->frame({{100, 200}, {300, 80}});
        desktop.focus(field);
        useRouter(std::make_shared<ContextStrategyRouter>(desktop.accessibility()));
    }

    void useRouter(std::shared_ptr<ContextStrategyRouter> router) {
        provider = std::make_shared<AXAccessibilityProvider>(
            std::move(router),
            AXAccessibilityProvider::Facilities{
                desktop.accessibility(), desktop.workspace(), desktop.screens(), io.get_executor(),
                pool.get_executor(), [this] { return desktop.now(); }});
    }

    AccessibleElement element(const SimElementPtr& target) {
        return AccessibleElement(makeElementRef(target), desktop.accessibility());
    }

    template <class T> T run(Awaitable<T> body) { return runToEnd(io, std::move(body)); }

    // The kind of AccessibilityError the operation ends with.
    template <class T> std::optional<Kind> failureOf(Awaitable<T> body) {
        try {
            run(std::move(body));
        } catch (const AccessibilityError& error) {
            return error.kind();
        }
        return std::nullopt;
    }

    std::optional<std::string> focusedName() {
        auto found = run(provider->getFocusedElement());
        return found ? std::optional(simElementRef(found->element())->element()->name())
                     : std::nullopt;
    }

    asio::io_context io;
    asio::thread_pool pool{1};
    SimDesktop desktop;
    std::shared_ptr<SimApplication> app;
    SimElementPtr window;
    SimElementPtr field;
    std::shared_ptr<AXAccessibilityProvider> provider;
};

TEST_F(AXAccessibilityProviderTest, DisabledAccessibilityIsPermissionDeniedOnEveryPath) {
    desktop.setTrusted(false);
    EXPECT_EQ(failureOf(provider->getFocusedElement()), Kind::permissionDenied);
    EXPECT_EQ(failureOf(provider->getValue(element(field))), Kind::permissionDenied);
    EXPECT_EQ(failureOf(provider->setValue("x", element(field))), Kind::permissionDenied);
    EXPECT_EQ(failureOf(provider->getPosition(element(field))), Kind::permissionDenied);
    EXPECT_EQ(failureOf(provider->getCaretPosition(element(field))), Kind::permissionDenied);
    EXPECT_EQ(failureOf(provider->selectRange({0, 1}, element(field))), Kind::permissionDenied);
    EXPECT_EQ(failureOf(provider->replaceRange({0, 1}, "x", element(field))),
              Kind::cannotWriteValue);
    EXPECT_TRUE(run(provider->isSecureField(element(field))));
    EXPECT_FALSE(provider->checkPermissions());
    EXPECT_EQ(field->text(), "milk, eggs");
}

TEST_F(AXAccessibilityProviderTest, ApiDisabledFromAnyOfTheFocusReadsIsPermissionDenied) {
    desktop.systemWide()->failReads("AXFocusedUIElement", AXError::apiDisabled);
    desktop.systemWide()->failReads("AXFocusedApplication", AXError::noValue);
    app->element()->failReads("AXFocusedUIElement", AXError::cannotComplete);
    EXPECT_EQ(failureOf(provider->getFocusedElement()), Kind::permissionDenied);
    desktop.systemWide()->failReads("AXFocusedUIElement", AXError::noValue);
    EXPECT_EQ(failureOf(provider->getFocusedElement()), Kind::noFocusedElement);
}

TEST_F(AXAccessibilityProviderTest, FocusedElementFallsBackToTheFocusedThenFrontmostApplication) {
    auto frontmostLookUps = [&] {
        return desktop.callLog()
            .calls(
                [](const SimCall& call) { return call.kind == SimCallKind::frontmostApplication; })
            .size();
    };
    EXPECT_EQ(focusedName(), field->name());
    // The workspace (a trip to the main thread) is asked only when the focus reads give nothing.
    EXPECT_EQ(frontmostLookUps(), 0u);
    auto flagWrites = desktop.callLog().calls(
        [](const SimCall& call) { return call.kind == SimCallKind::setAttribute; });
    ASSERT_EQ(flagWrites.size(), 2u);
    EXPECT_EQ(flagWrites[0].attribute, "AXManualAccessibility");
    EXPECT_EQ(flagWrites[1].attribute, "AXEnhancedUserInterface");
    EXPECT_EQ(flagWrites[0].element, "Notes(app)");
    EXPECT_EQ(app->element()->storedAttribute("AXEnhancedUserInterface"), AXValue(true));

    // The system-wide element knows the application but not its focus.
    desktop.systemWide()->failReads("AXFocusedUIElement", AXError::cannotComplete);
    EXPECT_EQ(focusedName(), field->name());

    // Nor the application: the workspace's frontmost one is asked, flags first.
    desktop.systemWide()->failReads("AXFocusedApplication", AXError::noValue);
    desktop.callLog().clear();
    EXPECT_EQ(focusedName(), field->name());
    auto calls =
        desktop.callLog().calls([](const SimCall& call) { return call.element == "Notes(app)"; });
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(frontmostLookUps(), 1u);
    EXPECT_EQ(calls[0].attribute, "AXManualAccessibility");
    EXPECT_EQ(calls[1].attribute, "AXEnhancedUserInterface");
    EXPECT_EQ(calls[2].attribute, "AXFocusedUIElement");

    app->element()->failReads("AXFocusedUIElement", AXError::cannotComplete);
    EXPECT_EQ(failureOf(provider->getFocusedElement()), Kind::noFocusedElement);
    desktop.clearFrontmost();
    EXPECT_EQ(failureOf(provider->getFocusedElement()), Kind::noFocusedElement);
}

TEST_F(AXAccessibilityProviderTest, ValuesAndPasswordFields) {
    EXPECT_EQ(run(provider->getValue(element(field))), "milk, eggs");
    EXPECT_EQ(failureOf(provider->getValue(element(window))), Kind::cannotReadValue);
    auto counter = window->add(SimElement::staticText("")->set("AXValue", 42));
    EXPECT_EQ(failureOf(provider->getValue(element(counter))), Kind::cannotReadValue);

    EXPECT_FALSE(run(provider->isSecureField(element(field))));
    auto password = window->add(SimElement::secureTextField("hunter2"));
    EXPECT_TRUE(run(provider->isSecureField(element(password))));
    auto unreadable = window->add(SimElement::textField("maybe secret"));
    unreadable->failReads("AXRole", AXError::cannotComplete);
    EXPECT_TRUE(run(provider->isSecureField(element(unreadable))));
}

// The caret stays where the user types: behind text they typed after the written range it keeps
// its place; from the range (or before it) it goes after the written text.
TEST_F(AXAccessibilityProviderTest, WritesTakeEffectAndTheCaretStaysAtTheUsersTypingPoint) {
    run(provider->setValue("bread 🍞", element(field)));
    EXPECT_EQ(field->text(), "bread 🍞");
    EXPECT_EQ(field->selection(), (AXRange{8, 0}));

    run(provider->replaceRange({0, 5}, "rye", element(field)));
    EXPECT_EQ(field->text(), "rye 🍞");
    EXPECT_EQ(field->selection(), (AXRange{6, 0}));

    field->setSelection({6, 0});
    run(provider->setValue("rye 🍞 ok", element(field)));
    EXPECT_EQ(field->selection(), (AXRange{9, 0}));
    field->setSelection({6, 0});
    run(provider->setValue("rye 🍞", element(field)));
    EXPECT_EQ(field->selection(), (AXRange{6, 0}));

    field->setSelection({2, 0});
    run(provider->replaceRange({3, 0}, " loaf", element(field)));
    EXPECT_EQ(field->text(), "rye loaf 🍞");
    EXPECT_EQ(field->selection(), (AXRange{8, 0}));

    field->failWrites("AXValue", AXError::failure);
    EXPECT_EQ(failureOf(provider->setValue("x", element(field))), Kind::cannotWriteValue);
}

TEST_F(AXAccessibilityProviderTest, AFailedCaretMoveIsOnlyLogged) {
    LogCapture log;
    // The caret stood after the word rewritten: it belongs after the new word, not at the end.
    field->setSelection({4, 0});
    field->failWrites("AXSelectedTextRange", AXError::attributeUnsupported);
    run(provider->setValue("bread, eggs", element(field)));
    EXPECT_EQ(field->text(), "bread, eggs");
    EXPECT_TRUE(
        log.contains("⚠️ [AXAccessibilityProvider] Could not set cursor position: -25205"));
}

TEST_F(AXAccessibilityProviderTest, WritesTheFieldIgnoresAreFailures) {
    field->ignoreWrites();
    EXPECT_EQ(failureOf(provider->setValue("bread", element(field))), Kind::cannotWriteValue);
    // Same length before and after: only the text shows the write did not take.
    EXPECT_EQ(failureOf(provider->replaceRange({6, 4}, "hams", element(field))),
              Kind::cannotWriteValue);
    EXPECT_EQ(failureOf(provider->replaceRange({6, 4}, "ham", element(field))),
              Kind::cannotWriteValue);
    EXPECT_EQ(field->text(), "milk, eggs");

    // Writing what is already there changes nothing and is no failure.
    run(provider->setValue("milk, eggs", element(field)));
    run(provider->replaceRange({6, 4}, "eggs", element(field)));

    // Nor is the answer taken on trust when the field cannot be read after the write.
    field->unreadableOnceWritten();
    EXPECT_EQ(failureOf(provider->setValue("bread", element(field))), Kind::cannotWriteValue);
}

TEST_F(AXAccessibilityProviderTest, AnUnreadableValueSkipsTheCheckAfterARangeReplacement) {
    field->failReads("AXValue", AXError::cannotComplete);
    run(provider->replaceRange({6, 4}, "hams", element(field)));
    EXPECT_EQ(field->text(), "milk, hams");
    EXPECT_EQ(field->selection(), (AXRange{10, 0}));
}

TEST_F(AXAccessibilityProviderTest, CaretPositionFallsBackFromTheSelectionToTheScreen) {
    // Fixed-width cells of 8 points from an inset of 4; lines 18 high.
    EXPECT_EQ(run(provider->getCaretPosition(element(field))), (Point{184, 213}));

    field->failReads("AXBoundsForRange", AXError::parameterizedAttributeUnsupported);
    EXPECT_EQ(run(provider->getCaretPosition(element(field))), (Point{400, 240}));
    field->set("AXBoundsForRange", Rect{});
    EXPECT_EQ(run(provider->getCaretPosition(element(field))), (Point{400, 240}));

    field->set("AXSize", Size{0, 0})->set("AXPosition", Point{0, 0});
    EXPECT_EQ(run(provider->getCaretPosition(element(field))), (Point{960, 540}));
    desktop.setScreens({});
    EXPECT_EQ(run(provider->getCaretPosition(element(field))), (Point{100, 100}));

    auto bare = window->add(SimElement::textField("no geometry"));
    bare->failReads("AXBoundsForRange", AXError::noValue);
    EXPECT_EQ(failureOf(provider->getCaretPosition(element(bare))), Kind::cannotReadValue);
}

// The main executor is the user interface's thread: an application that stops answering must not
// hold it, so only the workspace look-ups run there.
TEST_F(AXAccessibilityProviderTest, OnlyWorkspaceLookUpsRunOnTheMainExecutor) {
    const auto mainThread = std::this_thread::get_id();
    run(provider->getValue(element(field)));
    run(provider->isSecureField(element(field)));
    run(provider->getCaretPosition(element(field)));
    run(provider->getFocusedElement());
    run(provider->captureContext(element(field)));
    run(provider->setValue("bread", element(field)));
    run(provider->replaceRange({0, 5}, "rye", element(field)));
    run(provider->selectRange({0, 3}, element(field)));
    auto calls = desktop.callLog().calls();
    ASSERT_GE(calls.size(), 12u);
    for (const auto& call : calls) {
        bool lookUp = call.kind == SimCallKind::frontmostApplication;
        EXPECT_EQ(call.thread == mainThread, lookUp) << call.attribute << " on " << call.element;
    }
}

TEST_F(AXAccessibilityProviderTest, ContextComesFromTheFrontmostAppAndTheElementsWindow) {
    window->set("AXDocument", "file:///home/ann/My%20List.txt");
    auto context = run(provider->captureContext(element(field)));
    ASSERT_TRUE(context);
    EXPECT_EQ(context->appName, "Notes");
    EXPECT_EQ(context->bundleIdentifier, "com.example.notes");
    EXPECT_EQ(context->windowTitle, "Shopping list");
    EXPECT_EQ(context->documentPath, "/home/ann/My List.txt");
    EXPECT_EQ(context->surroundingText, std::nullopt) << "nothing of 200 characters around";

    window->set("AXDocument", "https://example.com/doc?id=7");
    EXPECT_EQ(run(provider->captureContext(element(field)))->documentPath,
              "https://example.com/doc?id=7");
    window->set("AXDocument", "not an address");
    EXPECT_EQ(run(provider->captureContext(element(field)))->documentPath, std::nullopt);

    window->failReads("AXTitle", AXError::noValue);
    desktop.clearFrontmost();
    context = run(provider->captureContext(element(field)));
    EXPECT_EQ(context->appName, "Unknown");
    EXPECT_EQ(context->bundleIdentifier, "unknown");
    EXPECT_EQ(context->windowTitle, "Unknown");
}

TEST_F(AXAccessibilityProviderTest, SurroundingTextIsTrimmedOfFootersThenCapped) {
    const std::string line = "Dear team, the budget 👍🏽 is approved.\n"; // 38 characters
    std::string body;
    for (int i = 0; i < 1000; ++i)
        body += line;
    std::vector<std::unique_ptr<ContextStrategy>> chain;
    chain.push_back(std::make_unique<FixedStrategy>(body + "Unsubscribe from these mails"));
    useRouter(std::make_shared<ContextStrategyRouter>(desktop.accessibility(), std::move(chain)));

    LogCapture log;
    auto text = run(provider->captureContext(element(field)))->surroundingText;
    ASSERT_TRUE(text);
    EXPECT_EQ(unicode::graphemeCount(*text), 30000u);
    EXPECT_TRUE(body.starts_with(*text));
    EXPECT_TRUE(log.contains("🔍 [Context] Strategy 'fixed' → 30000 chars for com.example.notes"));

    chain.clear();
    chain.push_back(
        std::make_unique<FixedStrategy>(std::string(250, 'a') + "\nSent from my iPhone"));
    useRouter(std::make_shared<ContextStrategyRouter>(desktop.accessibility(), std::move(chain)));
    EXPECT_EQ(run(provider->captureContext(element(field)))->surroundingText,
              std::string(250, 'a'));
}

TEST_F(AXAccessibilityProviderTest, ASlowApplicationsCaptureEndsAtTheDeadline) {
    auto page = buildSimPage(desktop, {600, "org.example.browser", "Browser"});
    page.application->element()->latency(100ms);
    LogCapture log;
    auto start = desktop.now();
    auto context = run(provider->captureContext(element(page.field)));
    auto spent = desktop.now() - start;
    EXPECT_LE(spent, 2050ms);
    EXPECT_GE(spent, 1900ms);
    EXPECT_EQ(context->appName, "Browser");
    EXPECT_FALSE(log.matching("deadline reached").empty());
}

TEST_F(AXAccessibilityProviderTest, EveryReadOfACaptureFollowsItsMessagingTimeout) {
    SimPageLayout layout;
    layout.elementCount = 1500;
    auto page = buildSimPage(desktop, {600, "org.example.browser", "Browser"}, layout);
    // Text markers fail, so every strategy of the chain gets its turn.
    page.webArea->failReads("AXStartTextMarker", AXError::attributeUnsupported);
    std::vector<std::unique_ptr<ContextStrategy>> chain;
    auto router = std::make_shared<ContextStrategyRouter>(desktop.accessibility());
    useRouter(router);
    desktop.callLog().clear();
    run(provider->captureContext(element(page.field)));
    auto reads = desktop.callLog().calls([](const SimCall& call) { return call.isRead(); });
    EXPECT_GT(reads.size(), 1000u);
    for (const auto& read : reads)
        ASSERT_TRUE(read.timeout) << read.attribute << " on " << read.element;
    // The title, the document and every strategy look at the same window: asked for once.
    EXPECT_EQ(
        std::count_if(reads.begin(), reads.end(),
                      [](const SimCall& read) { return read.attribute == "AXFocusedWindow"; }),
        1);
}

} // namespace
