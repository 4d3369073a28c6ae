#pragma once
// The Linux facilities and the accessibility provider over them, as the application builds them,
// with the test thread's io_context standing in for the main thread.

#include "desktop_session.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/linux_platform_factory.hpp"
#include "support/sim_run.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/context_strategy_router.hpp"

#include <asio/io_context.hpp>
#include <asio/thread_pool.hpp>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>

namespace pennial::desktop {

class FacilitiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "needs a desktop session";
        workspace = makeWorkspace(io.get_executor());
        accessibility = makeAccessibility(workspace);
        provider = std::make_shared<AXAccessibilityProvider>(
            std::make_shared<ContextStrategyRouter>(accessibility),
            AXAccessibilityProvider::Facilities{accessibility, workspace, makeScreens(),
                                                io.get_executor(), pool.get_executor()});
    }

    template <class T> T run(Awaitable<T> body) { return runToEnd(io, std::move(body)); }

    AXResult<AXValue> read(const AXElement& element, std::string_view attribute) {
        return accessibility->copyAttributeValue(element, attribute);
    }
    std::optional<std::string> readString(const AXElement& element, std::string_view attribute) {
        auto result = read(element, attribute);
        return result.ok() ? result.value()->asString() : std::nullopt;
    }
    template <class T>
    std::optional<T> readBoxed(const AXElement& element, std::string_view attribute) {
        auto result = read(element, attribute);
        const T* value = result.ok() ? result.value()->template get<T>() : nullptr;
        return value ? std::optional(*value) : std::nullopt;
    }
    AXResult<AXValue> readForRange(const AXElement& element, std::string_view attribute,
                                   AXRange range) {
        return accessibility->copyParameterizedAttributeValue(element, attribute, range);
    }

    std::optional<std::string> stringForRange(const AXElement& element, AXRange range) {
        auto result = readForRange(element, ax::parameterized::stringForRange, range);
        return result.ok() ? result.value()->asString() : std::nullopt;
    }

    // The provider's focused element, once it is the field of that name.
    std::optional<AccessibleElement> focusedField(const std::string& name) {
        std::optional<AccessibleElement> found;
        waitUntil([&] {
            try {
                found = run(provider->getFocusedElement());
            } catch (const std::exception&) {
                found.reset();
            }
            return found && readString(found->element(), ax::attribute::title) == name;
        });
        return found;
    }

    // The provider's value of the element, once it reads as expected (the bus follows the
    // application a few milliseconds late).
    bool valueBecomes(const AccessibleElement& element, const std::string& expected) {
        return waitUntil([&] {
            try {
                return run(provider->getValue(element)) == expected;
            } catch (const std::exception&) {
                return false;
            }
        });
    }

    asio::io_context io;
    asio::thread_pool pool{1};
    std::shared_ptr<X11Workspace> workspace;
    std::shared_ptr<AtspiAccessibility> accessibility;
    std::shared_ptr<AXAccessibilityProvider> provider;
};

} // namespace pennial::desktop
