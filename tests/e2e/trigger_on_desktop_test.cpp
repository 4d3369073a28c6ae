// The whole road on the real desktop: keys typed into another application, the trigger seen
// there, the backend asked, and its answer written back into that application's field, by
// accessibility or by a keyboard paste that gives the clipboard back.

#include "linux_coordinator_fixture.hpp"

#include <algorithm>
#include <gmock/gmock.h>
#include <string>
#include <utility>
#include <vector>

using namespace pennial;
using namespace pennial::e2e;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;
using ::testing::Contains;
using ::testing::Pair;

namespace {

class TriggerOnDesktop : public LinuxCoordinatorTest {
protected:
    void answerTransform(const std::string& text) {
        backend.answerNext(Endpoint::transform, FakeAnswer::json(200, {{"transformedText", text},
                                                                       {"processingTimeMs", 7}}));
    }
    bool logged(const std::string& line, std::chrono::milliseconds timeout = 10s) {
        return waitUntil([&] { return log.contains(line); }, timeout);
    }
};

} // namespace

TEST_F(TriggerOnDesktop, ATypedCommandIsReplacedByTheBackendsAnswer) {
    const auto userId = signIn();
    launch();
    TestEditor editor;
    answerTransform("hello world");

    typeOnKeyboard("helo wrld ;;fix");
    EXPECT_TRUE(editor.waitForText("hello world", 10s)) << editor.text();

    const auto transforms = backend.requests(Endpoint::transform);
    ASSERT_EQ(transforms.size(), 1u);
    EXPECT_EQ(transforms[0].json()["text"], "helo wrld");
    EXPECT_EQ(transforms[0].json()["command"], "fix");
    // As the user whose session the keyring held.
    EXPECT_EQ(
        backend.userForAccessToken(transforms[0].header("Authorization").value_or("").substr(7)),
        userId);
    EXPECT_TRUE(logged("✅ [Pennial] Text replaced via range replacement"));
}

TEST_F(TriggerOnDesktop, AFieldThatRefusesWritesGetsAKeyboardPasteAndTheClipboardBack) {
    signIn();
    launch();
    TestEditor editor({.focus = "single", .accessibleText = "read-only"});
    editor.copySample();
    answerTransform("hello world");

    typeOnKeyboard("helo wrld ;;fix");
    EXPECT_TRUE(editor.waitForText("hello world", 10s)) << editor.text();
    ASSERT_TRUE(logged("✅ [Pennial] Text replaced via targeted keyboard paste"));
    EXPECT_TRUE(log.contains("✅ [Pennial] Clipboard restored after targeted keyboard paste"));

    // Another Qt application keeps the types it last read from an owner until it handles the
    // owner's change, so the editor may briefly list only the lent text's types.
    std::vector<std::pair<std::string, std::string>> clipboard;
    waitUntil([&] {
        clipboard = editor.clipboard();
        return std::any_of(clipboard.begin(), clipboard.end(),
                           [](const auto& format) { return format.first == "text/html"; });
    });
    EXPECT_THAT(clipboard, Contains(Pair("text/plain", "Pennial sample")));
    EXPECT_THAT(clipboard, Contains(Pair("text/html", "<p>Pennial <b>sample</b></p>")));
    EXPECT_THAT(clipboard, Contains(Pair("application/x-pennial-sample",
                                         std::string("\x00\x01\x02sample", 9))));
    EXPECT_TRUE(std::any_of(clipboard.begin(), clipboard.end(), [](const auto& format) {
        return format.first == "image/png" && format.second.starts_with("\x89PNG");
    }));
}

TEST_F(TriggerOnDesktop, KeysTypedIntoAFieldThatHidesItsTextStillMakeTheTrigger) {
    signIn();
    launch();
    TestEditor editor({.focus = "single", .accessibleText = "none"});

    typeOnKeyboard("helo wrld ;;fix");
    // Seen from the keys alone; with no text to send, nothing is sent or written.
    EXPECT_TRUE(logged("🔵 [Pennial] Trigger detected: fix"));
    EXPECT_TRUE(logged("❌ [Pennial] Error: cannotReadValue"));
    EXPECT_EQ(backend.requestCount(Endpoint::transform), 0u);
    EXPECT_EQ(editor.text(), "helo wrld ;;fix");
}
