#pragma once
// A signed-in, monitoring coordinator with a notes application whose field has the focus; the
// scripted text monitor reports triggers. Paste waits are shortened; the others are the real ones.

#include "coordinator_fixture.hpp"

#include <gmock/gmock.h>

namespace pennial::testing {

class TriggerFixture : public CoordinatorFixture {
protected:
    static constexpr Pid notesPid = 501;

    TriggerFixture() {
        timings.targetedPasteDelay = std::chrono::milliseconds(5);
        timings.selectAllDelay = std::chrono::milliseconds(10);
        timings.clipboardRestoreDelay = std::chrono::milliseconds(150);
        completeAllSteps();
        desktop.setTrusted(true);
        storeSession();
        notes =
            desktop.addApplication({notesPid, "org.example.notes", "Notes"})->addWindow("Draft");
    }

    // Launches with the field focused; monitoring is on once this returns.
    SimElementPtr launchWithField(SimElementPtr element) {
        field = notes->add(std::move(element)->label("field"));
        desktop.focus(field);
        launch();
        EXPECT_TRUE(coordinator->isMonitoring());
        log.clear();
        return field;
    }

    void trigger(std::string name, std::string pattern, std::optional<long long> offset) {
        await(textMonitor->sendTrigger(std::move(name), std::move(pattern), offset));
    }
    // Starts a trigger and returns at once; done turns true when its handling has ended.
    void startTrigger(std::string name, std::string pattern, std::optional<long long> offset,
                      bool& done) {
        asio::co_spawn(main, textMonitor->sendTrigger(std::move(name), std::move(pattern), offset),
                       [&done](std::exception_ptr) { done = true; });
    }

    // The coordinator's lines from the trigger on.
    std::vector<std::string> triggerLines() const {
        auto lines = coordinatorLines();
        auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.starts_with("🔵 [Pennial] Trigger detected");
        });
        return {first, lines.end()};
    }
    std::vector<RecordedRequest> transforms() const {
        return backend.requests(Endpoint::transform);
    }
    std::vector<SimCall> writesTo(const SimElementPtr& element) const {
        return desktop.callLog().calls([&](const SimCall& call) {
            return call.kind == SimCallKind::setAttribute && call.element == element->name();
        });
    }

    SimElementPtr notes;
    SimElementPtr field;
};

} // namespace pennial::testing
