#include "platform/linux/atspi/atspi_focus_snapshot.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(AtspiFocusSnapshot, AFocusWorkedOutWhileAReportCameInIsNeverPublished) {
    AtspiFocusSnapshot snapshot;
    EXPECT_FALSE(snapshot.current());

    AtspiFocusSnapshot::Focus focus;
    focus.pid = 42;
    snapshot.publish(focus, snapshot.generation());
    ASSERT_TRUE(snapshot.current());
    EXPECT_EQ(snapshot.current()->pid, 42);

    // Worked out from what was known before a focus report: stale on arrival.
    const auto before = snapshot.generation();
    snapshot.invalidate();
    EXPECT_FALSE(snapshot.current());
    focus.pid = 7;
    snapshot.publish(focus, before);
    EXPECT_FALSE(snapshot.current());

    snapshot.publish(focus, snapshot.generation());
    EXPECT_EQ(snapshot.current()->pid, 7);
}
