#include "platform/ax_names.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_element_ref.hpp"
#include "platform/sim/sim_page.hpp"

#include <asio/io_context.hpp>
#include <gtest/gtest.h>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

class SimDesktopTest : public ::testing::Test {
protected:
    SimDesktopTest() {
        app = desktop.addApplication({501, "com.example.notes", "Notes"});
        window = app->addWindow("Shopping list");
        field = window->add(SimElement::textArea("milk, eggs"));
        desktop.focus(field);
    }

    AXResult<AXValue> read(const AXElement& element, std::string_view attribute) {
        return ax().copyAttributeValue(element, attribute);
    }
    AXElement focusedRef() {
        return *read(ax().systemWideElement(), ax::attribute::focusedUIElement)
                    .value()
                    ->asElement();
    }
    Accessibility& ax() { return *desktop.accessibility(); }

    SimDesktop desktop;
    std::shared_ptr<SimApplication> app;
    SimElementPtr window;
    SimElementPtr field;
};

TEST_F(SimDesktopTest, SlowCallsTakeTheirTimeAndGiveUpAtTheMessagingTimeout) {
    field->latency(300ms);
    auto element = focusedRef();
    auto start = desktop.now();
    EXPECT_TRUE(read(element, ax::attribute::value).ok()) << "the default time-out is long";
    EXPECT_EQ(desktop.now() - start, 300ms);

    ax().setMessagingTimeout(element, 0.1s);
    start = desktop.now();
    EXPECT_EQ(read(element, ax::attribute::value).error(), AXError::cannotComplete);
    EXPECT_EQ(desktop.now() - start, 100ms);

    // The time-out belongs to the reference, as real references' do.
    EXPECT_TRUE(read(focusedRef(), ax::attribute::value).ok());
    auto calls = desktop.callLog().calls([](const SimCall& call) { return call.isRead(); });
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 3].timeout, std::chrono::duration<double>(0.1));
    EXPECT_EQ(calls.back().timeout, std::nullopt);
}

TEST_F(SimDesktopTest, WithoutTrustEveryCallIsRefusedAndThePromptCanGrantIt) {
    auto element = focusedRef();
    desktop.setTrusted(false);
    EXPECT_EQ(read(element, ax::attribute::value).error(), AXError::apiDisabled);
    EXPECT_EQ(ax().setAttributeValue(element, ax::attribute::value, "x"), AXError::apiDisabled);
    EXPECT_EQ(ax().copyAttributeValues(element, {"AXRole"}).error(), AXError::apiDisabled);
    EXPECT_EQ(errorCode(AXError::apiDisabled), -25211);

    EXPECT_FALSE(ax().isProcessTrusted(TrustCheck::silent));
    EXPECT_EQ(desktop.trustPromptCount(), 0);
    desktop.setGrantTrustOnPrompt(true);
    EXPECT_FALSE(ax().isProcessTrusted(TrustCheck::prompt)) << "the user answers later";
    EXPECT_EQ(desktop.trustPromptCount(), 1);
    EXPECT_TRUE(ax().isProcessTrusted(TrustCheck::silent));
}

TEST_F(SimDesktopTest, TextFieldsReadWriteAndMisbehaveOnRequest) {
    auto element = focusedRef();
    EXPECT_EQ(ax().setAttributeValue(element, ax::attribute::selectedTextRange, AXRange{6, 4}),
              AXError::success);
    EXPECT_EQ(ax().setAttributeValue(element, ax::attribute::selectedText, "ham 🍞"),
              AXError::success);
    EXPECT_EQ(field->text(), "milk, ham 🍞");
    EXPECT_EQ(field->selection(), (AXRange{12, 0})) << "UTF-16 units: the emoji counts two";
    EXPECT_EQ(read(element, ax::attribute::numberOfCharacters).value()->asInteger(), 12);
    EXPECT_EQ(ax().setAttributeValue(element, ax::attribute::selectedTextRange, AXRange{9, 9}),
              AXError::illegalArgument);

    field->ignoreWrites();
    EXPECT_EQ(ax().setAttributeValue(element, ax::attribute::value, "new"), AXError::success);
    EXPECT_EQ(field->text(), "milk, ham 🍞");

    field->failWrites(std::string(ax::attribute::value), AXError::cannotComplete);
    field->failReads(std::string(ax::attribute::value), AXError::failure);
    EXPECT_EQ(ax().setAttributeValue(element, ax::attribute::value, "new"),
              AXError::cannotComplete);
    EXPECT_EQ(read(element, ax::attribute::value).error(), AXError::failure);
}

TEST_F(SimDesktopTest, FocusActivationAndIdentity) {
    asio::io_context io;
    std::vector<std::string> activated;
    auto subscription = desktop.workspace()->observeApplicationActivation(
        io.get_executor(),
        [&](const RunningApplication& app) { activated.push_back(*app.localizedName); });
    auto other = desktop.addApplication({502, "com.example.mail", "Mail"});
    auto otherField = other->addWindow("Inbox")->add(SimElement::textField());
    desktop.focus(otherField);
    desktop.focus(otherField); // already frontmost: no second notification
    desktop.activate(desktop.ownProcess().processIdentifier);
    subscription.reset();
    desktop.activate(501);
    io.run();
    EXPECT_EQ(activated, (std::vector<std::string>{"Mail", "Pennial"}));

    EXPECT_EQ(focusedRef(), makeElementRef(otherField)) << "equality across references";
    EXPECT_NE(focusedRef(), makeElementRef(field));
    EXPECT_EQ(*ax().processId(focusedRef()).value(), 502);

    auto element = makeElementRef(field);
    field->destroy();
    EXPECT_EQ(read(element, ax::attribute::value).error(), AXError::invalidUIElement);
    EXPECT_TRUE(window->children().empty());
}

std::string pageText(SimDesktop& desktop, const SimPage& page) {
    auto& ax = *desktop.accessibility();
    auto webArea = makeElementRef(page.webArea);
    auto start = ax.copyAttributeValue(webArea, ax::attribute::startTextMarker);
    auto end = ax.copyAttributeValue(webArea, ax::attribute::endTextMarker);
    // Unordered: the markers may come in either order.
    auto range = ax.copyParameterizedAttributeValue(
        webArea, ax::parameterized::textMarkerRangeForUnorderedTextMarkers,
        AXValue::List{*end.value(), *start.value()});
    auto text = ax.copyParameterizedAttributeValue(
        webArea, ax::parameterized::stringForTextMarkerRange, *range.value());
    return text.ok() ? text.value()->asString().value_or("") : "";
}

TEST(SimPage, GeneratesTheSameLargePageEveryTimeWithItsTextBehindMarkers) {
    SimDesktop first, second;
    SimPageLayout layout;
    layout.textMarkers = true;
    auto page = buildSimPage(first, {600, "org.example.browser", "Browser"}, layout);
    auto again = buildSimPage(second, {600, "org.example.browser", "Browser"}, layout);
    EXPECT_GE(page.elementCount, 4990);
    EXPECT_LE(page.elementCount, 5010);
    EXPECT_EQ(page.elementCount, again.elementCount);

    auto text = pageText(first, page);
    EXPECT_NE(text.find("Thanks, I will look at the budget"), std::string::npos);
    EXPECT_GT(text.size(), 50000u);
    EXPECT_EQ(text, pageText(second, again));
}

} // namespace
