#include "desktop.hpp"
#include "platform/linux/qt/qt_clipboard.hpp"

#include <algorithm>
#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::desktop;

namespace {

const std::string sampleBytes("\x00\x01\x02sample", 9);

class QtClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "needs a desktop session";
        clipboard_ = std::make_unique<QtClipboard>();
    }

    // What the test editor's sample copy looks like from here, once the editor has quit.
    ClipboardSnapshot snapshotOfSample() {
        TestEditor owner;
        const std::int64_t before = clipboard_->changeCount();
        owner.copySample();
        EXPECT_TRUE(waitUntil([&] { return clipboard_->changeCount() > before; }));
        return clipboard_->snapshot();
    }

    std::unique_ptr<QtClipboard> clipboard_;
};

} // namespace

TEST_F(QtClipboardTest, SavesEveryTypeAnotherApplicationOffersButOneImageAndNoMetaTargets) {
    const ClipboardSnapshot snapshot = snapshotOfSample();
    ASSERT_EQ(snapshot.size(), 1u);
    // The owner also offers TARGETS, MULTIPLE, TIMESTAMP, SAVE_TARGETS, an empty BITMAP and the
    // image as a dozen other types.
    using Representation = std::pair<std::string, std::string>;
    const auto& saved = snapshot.front().representations;
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved[0], Representation("text/plain", "Pennial sample"));
    EXPECT_EQ(saved[1], Representation("text/html", "<p>Pennial <b>sample</b></p>"));
    EXPECT_EQ(saved[2], Representation("application/x-pennial-sample", sampleBytes));
    EXPECT_EQ(saved[3].first, "image/png");
    EXPECT_EQ(saved[3].second.substr(0, 4), "\x89PNG");
}

TEST_F(QtClipboardTest, PutBackOtherApplicationsSeeEveryTypeAgain) {
    const ClipboardSnapshot snapshot = snapshotOfSample();
    ASSERT_EQ(snapshot.size(), 1u);
    // Its owner gone, the clipboard is empty.
    ASSERT_TRUE(waitUntil([&] { return clipboard_->snapshot().empty(); }));

    clipboard_->write(snapshot);
    const auto offered = TestEditor().clipboard();
    for (const auto& representation : snapshot.front().representations)
        EXPECT_NE(std::find(offered.begin(), offered.end(), representation), offered.end())
            << representation.first;
}

TEST_F(QtClipboardTest, WritesTheFirstItemClearsForNoneAndCountsEveryChange) {
    std::int64_t count = clipboard_->changeCount();
    auto changed = [&] {
        const bool grew = waitUntil([&] { return clipboard_->changeCount() > count; });
        count = clipboard_->changeCount();
        return grew;
    };
    const ClipboardItem first{
        {{"text/plain", "first"}, {"application/x-pennial-sample", sampleBytes}}};
    clipboard_->write({first, ClipboardItem{{{"text/plain", "second"}}}});
    EXPECT_EQ(clipboard_->snapshot(), ClipboardSnapshot{first});
    EXPECT_TRUE(changed());

    clipboard_->write({});
    EXPECT_TRUE(clipboard_->snapshot().empty());
    EXPECT_TRUE(changed());
    clipboard_->setText("text");
    EXPECT_TRUE(changed());
    clipboard_->clear();
    EXPECT_TRUE(clipboard_->snapshot().empty());
    EXPECT_TRUE(changed());
    TestEditor().copySample(); // another application's copy
    EXPECT_TRUE(changed());
}
