// The command palette on the real desktop: a trigger typed into another application opens it with
// the palette's keys taken from that application, and the keys pick and run a command there.

#include "linux_coordinator_fixture.hpp"

#include <QProcess>
#include <gmock/gmock.h>

using namespace pennial;
using namespace pennial::e2e;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;
using ::testing::ElementsAre;

namespace {

class PaletteOnDesktop : public LinuxCoordinatorTest {
protected:
    // One key as the keyboard would press and release it (xdotool, through XTest).
    void tapKey(const char* key) {
        QProcess tapping;
        tapping.start("xdotool", {"key", key});
        ASSERT_TRUE(waitUntil([&] { return tapping.state() == QProcess::NotRunning; }, 10s));
        ASSERT_EQ(tapping.exitCode(), 0);
    }
    std::vector<std::string> shownNames() const {
        std::vector<std::string> names;
        for (const auto& row : overlay->palettes.back().suggestions)
            names.push_back(row.name);
        return names;
    }
};

} // namespace

TEST_F(PaletteOnDesktop, DownAndReturnRunTheSecondCommandWithoutReachingTheEditor) {
    signIn();
    launch();
    TestEditor editor;
    backend.answerNext(Endpoint::transform, FakeAnswer::json(200, {{"transformedText", "Hi."},
                                                                   {"processingTimeMs", 7}}));

    typeOnKeyboard("hello ;;t");
    ASSERT_TRUE(waitUntil(
        [&] { return !overlay->palettes.empty() && overlay->palettes.back().query == "t"; }, 10s));
    EXPECT_THAT(shownNames(), ElementsAre("short", "tldr", "translate", "ty"));
    EXPECT_TRUE(log.contains("⌨️ [Pennial] Keyboard interception active (x11-grab)."));

    tapKey("Down");
    ASSERT_TRUE(waitUntil([&] { return overlay->palettes.back().selectedIndex == 1; }, 10s));
    tapKey("Return");
    ASSERT_TRUE(editor.waitForText("Hi.", 10s)) << editor.text();

    const auto transforms = backend.requests(Endpoint::transform);
    ASSERT_EQ(transforms.size(), 1u);
    EXPECT_EQ(transforms[0].json()["command"], "tldr");
    EXPECT_EQ(transforms[0].json()["text"], "hello");
    EXPECT_TRUE(log.contains("⌨️ [Pennial] Intercepting list navigation keys."));
    // Neither key reached the editor: no line was moved to, no line break typed.
    EXPECT_EQ(editor.text(), "Hi.");
}
