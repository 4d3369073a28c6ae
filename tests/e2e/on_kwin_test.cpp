// The program on a KDE Wayland desktop (a headless KWin with the desktop portal), with native
// Wayland applications of each kind; the user's keys come through a portal session of the test's
// own. The editors are written through the accessibility bus. KWin takes no clipboard from an
// Xwayland client (ours) while a Wayland window is active, so no keyboard paste is tried in the
// browsers, which only a paste writes: they keep the user's text as typed, and the user's
// clipboard. Runs only inside PENNIAL_COMPOSITOR=kwin
// scripts/wayland-session (the e2e_kwin_tests entry); skipped elsewhere.

#include "base/unicode.hpp"
#include "desktop_support/third_party_app.hpp"
#include "linux_coordinator_fixture.hpp"
#include "platform/linux/portal/portal_keyboard_synthesizer.hpp"

#include <cstdlib>
#include <gmock/gmock.h>
#include <iostream>
#include <xkbcommon/xkbcommon-keysyms.h>

using namespace pennial;
using namespace pennial::e2e;
using desktop_support::ThirdPartyApp;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;
using Kind = ThirdPartyApp::Kind;

namespace {

bool onKwin() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return type && desktop && std::string(type) == "wayland" && std::string(desktop) == "KDE";
}

class OnKwin : public LinuxCoordinatorTest, public ::testing::WithParamInterface<Kind> {
protected:
    void SetUp() override {
        if (!onKwin())
            GTEST_SKIP() << "needs PENNIAL_COMPOSITOR=kwin scripts/wayland-session";
        LinuxCoordinatorTest::SetUp();
        if (!IsSkipped() && !ThirdPartyApp::installed(GetParam()))
            GTEST_SKIP() << ThirdPartyApp::name(GetParam()) << " is not installed";
    }
    void answerTransform(const std::string& text) {
        backend.answerNext(Endpoint::transform, FakeAnswer::json(200, {{"transformedText", text},
                                                                       {"processingTimeMs", 7}}));
    }
    // The user's typing, one key at a time (printable ASCII and line breaks).
    void type(const std::string& text) {
        for (char character : text) {
            const auto keysym =
                character == '\n' ? XKB_KEY_Return : static_cast<std::uint32_t>(character);
            typist->key(keysym, true);
            pumpFor(15ms);
            typist->key(keysym, false);
            pumpFor(30ms);
        }
    }
    std::unique_ptr<PortalKeyboardSynthesizer> typist;
};

} // namespace

TEST_P(OnKwin, ARewriteAndASnippetLandWithTheCaretAfterThemAndTheClipboardBack) {
    signIn();
    launch();
    // Asked for as monitoring started; KWin's portal grants it without a dialog.
    EXPECT_TRUE(waitUntil(
        [&] {
            return log.contains("✅ [Platform] The desktop granted its keyboard: shortcuts go "
                                "through the remote desktop portal");
        },
        20s));
    typist = std::make_unique<PortalKeyboardSynthesizer>(PortalKeyboardSynthesizer::Options{});
    typist->prepare();
    ASSERT_TRUE(waitUntil([&] { return typist->ready(); }, 20s));

    // The user's clipboard, owned by another application: Xwayland lets only the client with
    // the keyboard take it, so it is copied before the application starts.
    TestEditor clipboardOwner;
    clipboardOwner.copySample();
    const auto clipboardBefore = clipboardOwner.clipboard();
    ThirdPartyApp::Options native;
    native.kind = GetParam();
    native.nativeWayland = true;
    ThirdPartyApp app(native);
    // A browser reports its field focused before its page takes keys.
    pumpFor(app.isBrowser() ? 2s : 300ms);

    const bool written = !app.isBrowser();
    int landed = 0;
    // The field's text and caret after a trigger: the result, or the typing left as it was.
    auto check = [&](const std::string& result, const std::string& typed) {
        const auto& expected = written ? result : typed;
        const bool done = app.waitForText(expected, 20s);
        EXPECT_TRUE(done) << app.text().value_or("<unreadable>");
        const auto end = static_cast<std::int64_t>(unicode::utf16Length(expected));
        EXPECT_TRUE(waitUntil([&] { return app.caret() == end; }, 5s)) << app.caret().value_or(-1);
        landed += done && written;
    };
    answerTransform("hello world");
    type("helo wrld ;;fix");
    check("hello world", "helo wrld ;;fix");
    if (!written)
        EXPECT_TRUE(waitUntil([&] { return log.contains("❌ [Pennial] Error: unavailable"); }, 20s));

    answerTransform("Best wishes, Ada");
    pumpFor(1600ms); // a trigger right after a transform is taken for its echo
    type("\nthanks ;;sig");
    check(written ? "hello world\nthanks\nBest wishes, Ada" : "", "helo wrld ;;fix\nthanks ;;sig");

    EXPECT_TRUE(waitUntil([&] { return clipboardOwner.clipboard() == clipboardBefore; }, 10s));
    std::cout << "KWin " << ThirdPartyApp::name(GetParam()) << ": " << landed << "/2 writes"
              << std::endl;
}

INSTANTIATE_TEST_SUITE_P(NativeApplications, OnKwin,
                         ::testing::Values(Kind::gtk3Editor, Kind::gtk4Editor, Kind::firefox,
                                           Kind::chromium),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             std::string name = ThirdPartyApp::name(info.param);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
