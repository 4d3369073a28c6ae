// The Wayland clipboard between two clients of its own, on a compositor that offers the
// clipboard-manager protocol (a headless KWin): every type and byte across, each change counted
// where it is seen, ours known as ours. Runs inside scripts/wayland-session with
// PENNIAL_COMPOSITOR=kwin (the e2e_kwin_tests entry); skipped elsewhere.

#include "platform/linux/wayland/wayland_clipboard.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <thread>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

ClipboardSnapshot sorted(ClipboardSnapshot snapshot) {
    for (auto& item : snapshot)
        std::ranges::sort(item.representations);
    return snapshot;
}

} // namespace

TEST(OnKwinClipboard, WhatOneClientSetsAnotherReadsWholeAndEachChangeIsCounted) {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (!desktop || std::string(desktop) != "KDE")
        GTEST_SKIP() << "needs PENNIAL_COMPOSITOR=kwin scripts/wayland-session";
    auto ours = WaylandClipboard::connect();
    auto theirs = WaylandClipboard::connect();
    ASSERT_TRUE(ours && theirs);

    // Several pipes' worth of bytes of every value, beside a text.
    std::string large(3 << 20, '\0');
    std::mt19937 random(7);
    std::ranges::generate(large, [&] { return static_cast<char>(random()); });
    const ClipboardSnapshot written = {
        {{{"text/plain;charset=utf-8", "héllo ✓"}, {"application/x-pennial-large", large}}}};
    const auto seenBefore = theirs->changeCount();
    const auto oursBefore = ours->changeCount();
    ours->write(written);
    EXPECT_EQ(ours->changeCount(), oursBefore + 1);
    EXPECT_EQ(ours->snapshot(), written);
    EXPECT_TRUE(eventually([&] { return sorted(theirs->snapshot()) == sorted(written); }));
    EXPECT_EQ(theirs->changeCount(), seenBefore + 1);
    // The compositor's news of our own write is not counted again.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(ours->changeCount(), oursBefore + 1);

    theirs->setText("their copy");
    EXPECT_TRUE(eventually([&] {
        const auto now = ours->snapshot();
        return ours->changeCount() == oursBefore + 2 && now.size() == 1 &&
               std::ranges::count(now.front().representations,
                                  std::pair<std::string, std::string>("text/plain", "their copy"));
    }));

    ours->clear();
    EXPECT_TRUE(eventually([&] { return theirs->snapshot().empty(); }));
    EXPECT_TRUE(eventually([&] { return theirs->changeCount() == seenBefore + 3; }));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(ours->changeCount(), oursBefore + 3);
}
