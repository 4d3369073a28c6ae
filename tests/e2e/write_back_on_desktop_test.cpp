// The write-back against a real application: what the user types while the backend answers is
// never written over, and a range replacement whose insertion is lost after its deletion landed
// gets the deleted text back before the field is written another way.

#include "linux_coordinator_fixture.hpp"

using namespace pennial;
using namespace pennial::e2e;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;

namespace {

class WriteBackOnDesktop : public LinuxCoordinatorTest {
protected:
    bool logged(const std::string& line, std::chrono::milliseconds timeout = 10s) {
        return waitUntil([&] { return log.contains(line); }, timeout);
    }
};

} // namespace

TEST_F(WriteBackOnDesktop, KeysTypedWhileTheBackendAnswersAreNeverWrittenOver) {
    signIn();
    launch();
    TestEditor editor;
    // The key lands in the watcher's last interval before the answer, so the write's own check
    // is what must see it.
    backend.answerNext(Endpoint::transform,
                       FakeAnswer::json(200, {{"transformedText", "hello world"}}).after(400ms));

    typeOnKeyboard("helo wrld ;;fix");
    ASSERT_TRUE(waitUntil([&] { return backend.requestCount(Endpoint::transform) == 1; }, 10s));
    waitUntil([] { return false; }, 370ms);
    typeOnKeyboard("!");

    ASSERT_TRUE(logged("⚠️ [Pennial] Transformation cancelled (text changed during API call)"));
    EXPECT_EQ(editor.text(), "helo wrld ;;fix!");
    EXPECT_EQ(coordinator->statusMessage(), "Cancelled - text changed");
    waitUntil([] { return false; }, 300ms);
    EXPECT_EQ(editor.text(), "helo wrld ;;fix!") << "nothing written later either";
}

TEST_F(WriteBackOnDesktop, AnInsertionLostAfterItsDeletionIsUndoneBeforeTheNextMethod) {
    signIn();
    launch();
    TestEditor editor({.focus = "single", .accessibleText = "losing-insertion"});
    backend.answerNext(Endpoint::transform,
                       FakeAnswer::json(200, {{"transformedText", "hello world"}}));

    typeOnKeyboard("helo wrld ;;fix");
    EXPECT_TRUE(editor.waitForText("hello world", 10s)) << editor.text();
    EXPECT_TRUE(logged("⚠️ [AXAccessibilityProvider] Range replacement was half applied - the "
                       "removed text is back"));
    EXPECT_TRUE(logged("✅ [Pennial] Text set via full replacement"));
}
