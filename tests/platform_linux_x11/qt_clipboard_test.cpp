#include "desktop.hpp"
#include "platform/linux/qt_clipboard.hpp"

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

    // What the test editor's sample copy looks like from here.
    ClipboardSnapshot snapshotOfSample() {
        TestEditor owner;
        const std::int64_t before = clipboard_->changeCount();
        owner.copySample();
        EXPECT_TRUE(waitUntil([&] { return clipboard_->changeCount() > before; }));
        return clipboard_->snapshot();
    }

    static std::vector<std::string> typesOf(const ClipboardItem& item) {
        std::vector<std::string> types;
        for (const auto& [type, data] : item.representations)
            types.push_back(type);
        return types;
    }

    static std::string dataOf(const ClipboardItem& item, const std::string& type) {
        for (const auto& [candidate, data] : item.representations) {
            if (candidate == type)
                return data;
        }
        return "<missing>";
    }

    std::unique_ptr<QtClipboard> clipboard_;
};

} // namespace

TEST_F(QtClipboardTest, SavesEveryTypeAnotherApplicationOffersButOneImageAndNoMetaTargets) {
    const ClipboardSnapshot snapshot = snapshotOfSample();
    ASSERT_EQ(snapshot.size(), 1u);
    const ClipboardItem& item = snapshot.front();
    // The owner also offers TARGETS, MULTIPLE, TIMESTAMP, SAVE_TARGETS, an empty BITMAP and the
    // image as a dozen other types.
    EXPECT_EQ(typesOf(item),
              (std::vector<std::string>{"text/plain", "text/html", "application/x-pennial-sample",
                                        "image/png"}));
    EXPECT_EQ(dataOf(item, "text/plain"), "Pennial sample");
    EXPECT_EQ(dataOf(item, "text/html"), "<p>Pennial <b>sample</b></p>");
    EXPECT_EQ(dataOf(item, "application/x-pennial-sample"), sampleBytes);
    EXPECT_EQ(dataOf(item, "image/png").substr(0, 4), "\x89PNG");
}

TEST_F(QtClipboardTest, PutBackOtherApplicationsSeeEveryTypeAgain) {
    const ClipboardSnapshot snapshot = snapshotOfSample();
    // The owner has quit: its clipboard went with it.
    ASSERT_TRUE(waitUntil([&] { return clipboard_->snapshot().empty(); }));

    clipboard_->write(snapshot);
    TestEditor reader;
    const auto offered = reader.clipboard();
    ASSERT_EQ(snapshot.size(), 1u);
    for (const auto& representation : snapshot.front().representations)
        EXPECT_NE(std::find(offered.begin(), offered.end(), representation), offered.end())
            << representation.first;
}

TEST_F(QtClipboardTest, WritesTheFirstItemAndClearsForNone) {
    const ClipboardItem first{
        {{"text/plain", "first"}, {"application/x-pennial-sample", sampleBytes}}};
    const ClipboardItem second{{{"text/plain", "second"}}};
    clipboard_->write({first, second});
    EXPECT_EQ(clipboard_->snapshot(), ClipboardSnapshot{first});

    clipboard_->write({});
    EXPECT_TRUE(clipboard_->snapshot().empty());
    clipboard_->setText("text");
    clipboard_->clear();
    EXPECT_TRUE(clipboard_->snapshot().empty());
}

TEST_F(QtClipboardTest, CountsEveryChangeOursIncluded) {
    std::int64_t count = clipboard_->changeCount();
    auto changed = [&] {
        const bool grew = waitUntil([&] { return clipboard_->changeCount() > count; });
        count = clipboard_->changeCount();
        return grew;
    };
    clipboard_->setText("ours");
    EXPECT_TRUE(changed());
    clipboard_->write({ClipboardItem{{{"text/plain", "written"}}}});
    EXPECT_TRUE(changed());
    clipboard_->clear();
    EXPECT_TRUE(changed());
    TestEditor other;
    other.copySample();
    EXPECT_TRUE(changed());
}
