// The program on the Wayland desktops whose portal lends a keyboard. On KDE (a headless KWin with
// the desktop portal) native Wayland applications of each kind, the user's keys coming through a
// portal session of the test's own: the editors are written through the accessibility bus, the
// browsers by a keyboard paste from the clipboard the program sets on the Wayland side. On GNOME
// (a headless mutter with the portal) the dialog that asks the user before the keyboard is lent,
// answered either way. Runs only inside scripts/wayland-session with PENNIAL_COMPOSITOR=kwin or
// mutter (the e2e_kwin_tests and e2e_mutter_tests entries); skipped elsewhere.

#include "base/unicode.hpp"
#include "desktop_support/third_party_app.hpp"
#include "linux_coordinator_fixture.hpp"
#include "platform/linux/portal/portal_keyboard_synthesizer.hpp"
#include "platform/linux/wayland/wayland_clipboard.hpp"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <algorithm>
#include <atspi/atspi.h>
#include <cstdlib>
#include <gmock/gmock.h>
#include <iostream>
#include <random>
#include <xkbcommon/xkbcommon-keysyms.h>

using namespace pennial;
using namespace pennial::e2e;
using desktop_support::ThirdPartyApp;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;
using Kind = ThirdPartyApp::Kind;

namespace {

// Whether this is a Wayland session of the desktop named as XDG_CURRENT_DESKTOP names it.
bool onWaylandDesktop(const std::string& name) {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return type && desktop && std::string(type) == "wayland" && desktop == name;
}

// Runs xdotool to its end, the event loop running meanwhile; its output, none when it failed.
std::optional<QString> xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    if (!waitUntil([&] { return tool.state() == QProcess::NotRunning; }, 10s) ||
        tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// The first element under accessible of the role whose name starts with name; a reference the
// caller ends.
AtspiAccessible* findElement(AtspiAccessible* accessible, AtspiRole role, std::string_view name) {
    gchar* named = atspi_accessible_get_name(accessible, nullptr);
    const bool found = atspi_accessible_get_role(accessible, nullptr) == role && named &&
                       std::string_view(named).starts_with(name);
    g_free(named);
    if (found)
        return static_cast<AtspiAccessible*>(g_object_ref(accessible));
    const int count = atspi_accessible_get_child_count(accessible, nullptr);
    for (int i = 0; i < count; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(accessible, i, nullptr);
        if (!child)
            continue;
        AtspiAccessible* inside = findElement(child, role, name);
        g_object_unref(child);
        if (inside)
            return inside;
    }
    return nullptr;
}

// Runs the element's first action (a press, a toggle); false when there is no such element.
bool press(AtspiAccessible* root, AtspiRole role, std::string_view name) {
    AtspiAccessible* element = findElement(root, role, name);
    if (!element)
        return false;
    AtspiAction* action = atspi_accessible_get_action_iface(element);
    const bool done = action && atspi_action_do_action(action, 0, nullptr);
    if (action)
        g_object_unref(action);
    g_object_unref(element);
    return done;
}

// Answers GNOME's remote desktop dialog as the user would: "Allow remote interaction" turned on,
// then "Share"; or "Cancel". The session shows it as an X window; the first one is kept as a
// screenshot.
bool answerRemoteDesktopDialog(bool allow) {
    std::optional<QString> window;
    if (!waitUntil(
            [&] {
                window = xdotool({"search", "--onlyvisible", "--name", "^Remote desktop$"});
                return window && !window->isEmpty();
            },
            20s))
        return false;
    window = window->section('\n', 0, 0);
    const auto pid = xdotool({"getwindowpid", *window});
    if (!pid)
        return false;
    pumpFor(500ms); // drawn
    static bool shown = false;
    if (!shown) {
        QDir().mkpath("wayland_screenshots");
        shown = QGuiApplication::primaryScreen()
                    ->grabWindow(window->toULongLong())
                    .save("wayland_screenshots/gnome_remote_desktop_dialog.png");
    }
    AtspiAccessible* desktop = atspi_get_desktop(0);
    AtspiAccessible* dialog = nullptr;
    const int count = atspi_accessible_get_child_count(desktop, nullptr);
    for (int i = 0; i < count && !dialog; ++i) {
        AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (application && atspi_accessible_get_process_id(application, nullptr) ==
                               static_cast<guint>(pid->toUInt()))
            dialog = application;
        else if (application)
            g_object_unref(application);
    }
    g_object_unref(desktop);
    if (!dialog)
        return false;
    // "Share" takes a press once the switch is on.
    const bool answered =
        allow ? press(dialog, ATSPI_ROLE_CHECK_BOX, "Allow remote interaction") &&
                    waitUntil([&] { return press(dialog, ATSPI_ROLE_PUSH_BUTTON, "_Share"); }, 5s)
              : press(dialog, ATSPI_ROLE_PUSH_BUTTON, "_Cancel");
    g_object_unref(dialog);
    return answered;
}

// A snapshot with each item's types in one order: owners offer them in their own.
ClipboardSnapshot sorted(ClipboardSnapshot snapshot) {
    for (auto& item : snapshot)
        std::ranges::sort(item.representations);
    return snapshot;
}

constexpr const char* grantedLine =
    "✅ [Platform] The desktop granted its keyboard: shortcuts go through the remote desktop portal";

class OnKwin : public LinuxCoordinatorTest, public ::testing::WithParamInterface<Kind> {
protected:
    void SetUp() override {
        if (!onWaylandDesktop("KDE"))
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
    EXPECT_TRUE(waitUntil([&] { return log.contains(grantedLine); }, 20s));
    typist = std::make_unique<PortalKeyboardSynthesizer>(PortalKeyboardSynthesizer::Options{});
    typist->prepare();
    ASSERT_TRUE(waitUntil([&] { return typist->ready(); }, 20s));

    // The user's clipboard, owned by another Wayland client: a text, its HTML and a private type.
    auto usersCopy = WaylandClipboard::connect();
    auto waylandClipboard = WaylandClipboard::connect();
    ASSERT_TRUE(usersCopy && waylandClipboard);
    const ClipboardSnapshot clipboardBefore = {
        {{{"application/x-pennial-sample", std::string("\0\1\2sample", 9)},
          {"text/html", "<p>Pennial <b>sample</b></p>"},
          {"text/plain;charset=utf-8", "Pennial sample"}}}};
    usersCopy->write(clipboardBefore);
    ASSERT_TRUE(
        waitUntil([&] { return sorted(waylandClipboard->snapshot()) == clipboardBefore; }, 10s));
    ThirdPartyApp::Options native;
    native.kind = GetParam();
    native.nativeWayland = true;
    ThirdPartyApp app(native);
    // A browser reports its field focused before its page takes keys.
    pumpFor(app.isBrowser() ? 2s : 300ms);

    int landed = 0;
    // The field's text and caret after a trigger.
    auto check = [&](const std::string& expected) {
        const bool done = app.waitForText(expected, 20s);
        EXPECT_TRUE(done) << app.text().value_or("<unreadable>");
        const auto end = static_cast<std::int64_t>(unicode::utf16Length(expected));
        EXPECT_TRUE(waitUntil([&] { return app.caret() == end; }, 5s)) << app.caret().value_or(-1);
        landed += done;
    };
    answerTransform("hello world");
    type("helo wrld ;;fix");
    check("hello world");

    answerTransform("Best wishes, Ada");
    // A trigger right after a transform is taken for its echo; a paste's transform ends when the
    // clipboard is given back.
    EXPECT_TRUE(waitUntil(
        [&] { return !log.matching("⏱️ [Pennial] Total transformation time").empty(); }, 10s));
    pumpFor(1600ms);
    type("\nthanks ;;sig");
    check("hello world\nthanks\nBest wishes, Ada");

    EXPECT_TRUE(
        waitUntil([&] { return sorted(waylandClipboard->snapshot()) == clipboardBefore; }, 10s));
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

// The Wayland clipboard between two clients of its own, on a compositor that offers the
// clipboard-manager protocol: every type and byte across, each change counted where it is seen,
// ours known as ours.
TEST(OnKwinClipboard, WhatOneClientSetsAnotherReadsWholeAndEachChangeIsCounted) {
    if (!onWaylandDesktop("KDE"))
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
    EXPECT_TRUE(waitUntil([&] { return sorted(theirs->snapshot()) == sorted(written); }));
    EXPECT_EQ(theirs->changeCount(), seenBefore + 1);
    // The compositor's news of our own write is not counted again.
    pumpFor(200ms);
    EXPECT_EQ(ours->changeCount(), oursBefore + 1);

    theirs->setText("their copy");
    EXPECT_TRUE(waitUntil([&] {
        const auto now = ours->snapshot();
        return ours->changeCount() == oursBefore + 2 && now.size() == 1 &&
               std::ranges::count(now.front().representations,
                                  std::pair<std::string, std::string>("text/plain", "their copy"));
    }));

    ours->clear();
    EXPECT_TRUE(waitUntil([&] { return theirs->snapshot().empty(); }));
    EXPECT_TRUE(waitUntil([&] { return theirs->changeCount() == seenBefore + 3; }));
    pumpFor(200ms);
    EXPECT_EQ(ours->changeCount(), oursBefore + 3);
}

class OnGnome : public LinuxCoordinatorTest {
protected:
    void SetUp() override {
        if (!onWaylandDesktop("GNOME"))
            GTEST_SKIP() << "needs PENNIAL_COMPOSITOR=mutter scripts/wayland-session";
        LinuxCoordinatorTest::SetUp();
    }
};

// What a GNOME user meets the first time: the dialog comes as monitoring starts, not at a paste,
// and its answer either way is told in one line.
TEST_F(OnGnome, TheDesktopAsksOnceMonitoringStartsAndItsAnswerIsTold) {
    for (const bool allow : {false, true}) {
        SCOPED_TRACE(allow ? "shared" : "cancelled");
        log.clear();
        signIn();
        launch();
        ASSERT_TRUE(answerRemoteDesktopDialog(allow));
        EXPECT_TRUE(waitUntil(
            [&] {
                return log.contains(allow ? grantedLine
                                          : "❌ [Platform] The desktop's keyboard was not granted "
                                            "(its remote interaction dialog was declined): "
                                            "keyboard pastes are unavailable");
            },
            10s));
        coordinator.reset();
        pumpFor(200ms);
    }
}
