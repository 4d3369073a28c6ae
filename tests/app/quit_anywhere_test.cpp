// Quitting at any moment: the coordinator is shut down and let go at a random point of a start-up
// with its pulls, a capture, a transform and a write-back. Every task must end and the coordinator
// must be destroyed with nothing left running; under the sanitizers (CI), nothing may resume into
// what is gone.

#include "trigger_fixture.hpp"

#include <random>

using namespace pennial;
using namespace pennial::testing;

namespace {

class QuitAnywhere : public TriggerFixture, public ::testing::WithParamInterface<int> {
protected:
    QuitAnywhere() { useRealTextMonitor = true; }

    // The coordinator's shutdown, then its last owner let go: it must be destroyed soon after.
    void quit() {
        await(coordinator->shutdown());
        std::weak_ptr<AppCoordinator> watched = coordinator;
        coordinator.reset();
        EXPECT_TRUE(runUntil([&] { return watched.expired(); }, std::chrono::seconds(3)))
            << "a task still holds the coordinator";
    }
};

} // namespace

TEST_P(QuitAnywhere, EndsEveryTaskAndDestroysTheCoordinator) {
    std::mt19937 random{unsigned(GetParam())};
    SCOPED_TRACE("seed " + std::to_string(GetParam()));
    auto pick = [&](int most) { return std::chrono::milliseconds(random() % unsigned(most + 1)); };
    backend.setDelay(Endpoint::transform, pick(60));

    if (random() % 3 == 0) { // during the start-up and its pulls
        field = notes->add(SimElement::textField()->label("field"));
        desktop.focus(field);
        build();
        runFor(pick(80));
        quit();
        return;
    }
    launchWithField(SimElement::textField());
    desktop.keyboard().type("helo wrld ;;fix");
    runFor(pick(400)); // somewhere in the capture, the transform or the write-back
    quit();
    EXPECT_TRUE(field->text() == "helo wrld ;;fix" || field->text() == "[fix] helo wrld")
        << "the field holds the old text or the whole new one: " << field->text();
}

INSTANTIATE_TEST_SUITE_P(Seeds, QuitAnywhere, ::testing::Range(0, 200));
