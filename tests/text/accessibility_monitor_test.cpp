#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_element_ref.hpp"
#include "support/sim_run.hpp"
#include "text/accessibility_error.hpp"
#include "text/accessibility_monitor.hpp"

#include <asio/io_context.hpp>
#include <gtest/gtest.h>
#include <thread>

using namespace pennial;
using Kind = AccessibilityError::Kind;

namespace {

// Answers from fixed values and records what it was handed.
class FakeProvider : public AccessibilityProvider {
public:
    std::optional<AccessibleElement> focused;
    std::optional<AccessibilityError> focusFailure;
    std::string written;

    bool checkPermissions() override { return true; }
    void requestPermissions() override {}
    Awaitable<std::optional<AccessibleElement>> getFocusedElement() override {
        if (focusFailure)
            throw *focusFailure;
        co_return focused;
    }
    Awaitable<std::string> getValue(AccessibleElement) override { co_return "text"; }
    Awaitable<void> setValue(std::string text, AccessibleElement,
                             std::optional<std::string>) override {
        written = text;
        co_return;
    }
    Awaitable<Point> getCaretPosition(AccessibleElement) override { co_return Point{1, 2}; }
    Awaitable<Point> getPosition(AccessibleElement) override { co_return Point{3, 4}; }
    Awaitable<bool> isSecureField(AccessibleElement) override { co_return true; }
    Awaitable<void> selectRange(AXRange, AccessibleElement, std::optional<std::string>) override {
        co_return;
    }
    Awaitable<void> replaceRange(AXRange, std::string, AccessibleElement,
                                 std::optional<std::string>) override {
        co_return;
    }
    Awaitable<std::optional<AppContext>> captureContext(AccessibleElement) override {
        co_return std::nullopt;
    }
};

class AccessibilityMonitorTest : public ::testing::Test {
protected:
    AccessibilityMonitorTest() {
        auto app = desktop.addApplication({501, "com.example.notes", "Notes"});
        field = app->addWindow("List")->add(SimElement::textField("hello"));
    }

    std::optional<Kind> focusFailure() {
        auto attempt = [this]() -> Awaitable<std::optional<Kind>> {
            try {
                co_await monitor.getFocusedElement();
            } catch (const AccessibilityError& error) {
                co_return error.kind();
            }
            co_return std::nullopt;
        };
        return runToEnd(io, attempt());
    }

    asio::io_context io;
    SimDesktop desktop;
    SimElementPtr field;
    std::shared_ptr<FakeProvider> provider = std::make_shared<FakeProvider>();
    AccessibilityMonitor monitor{provider};
};

TEST_F(AccessibilityMonitorTest, NoFocusedElementIsAnErrorAndProviderErrorsPassUnchanged) {
    EXPECT_EQ(focusFailure(), Kind::noFocusedElement);
    provider->focusFailure = AccessibilityError(Kind::permissionDenied);
    EXPECT_EQ(focusFailure(), Kind::permissionDenied);
    provider->focusFailure.reset();
    provider->focused = AccessibleElement(makeElementRef(field), desktop.accessibility());
    EXPECT_EQ(focusFailure(), std::nullopt);
}

TEST_F(AccessibilityMonitorTest, ForwardsAndResumesTheCallerOnItsOwnExecutor) {
    AccessibleElement element(makeElementRef(field), desktop.accessibility());
    std::thread::id resumedOn;
    auto use = [&]() -> Awaitable<std::string> {
        co_await monitor.setText("new text", element);
        auto text = co_await monitor.getText(element);
        resumedOn = std::this_thread::get_id();
        co_return text;
    };
    EXPECT_EQ(runToEnd(io, use()), "text");
    EXPECT_EQ(provider->written, "new text");
    EXPECT_EQ(resumedOn, std::this_thread::get_id());
    EXPECT_EQ(runToEnd(io, monitor.getCaretPosition(element)), (Point{1, 2}));
}

TEST(AccessibleElement, ReadsAttributesAndTellsElementsApart) {
    SimDesktop desktop;
    auto app = desktop.addApplication({501, "com.example.notes", "Notes"});
    auto field = app->addWindow("List")->add(SimElement::textField("hello"));
    AccessibleElement element(makeElementRef(field), desktop.accessibility());
    EXPECT_EQ(element.getAttribute("AXRole"), AXValue("AXTextField"));
    EXPECT_EQ(element.getAttribute("AXSubrole"), std::nullopt) << "absent is none, not an error";
    EXPECT_EQ(element.processId(), 501);
    EXPECT_EQ(element, AccessibleElement(makeElementRef(field), desktop.accessibility()));
    EXPECT_EQ(AccessibilityError(Kind::cannotWriteValue).what(), std::string("cannotWriteValue"));
    EXPECT_EQ(AccessibilityError::systemError("boom").what(), std::string("systemError(boom)"));
}

} // namespace
