// The whole road in applications people write in: a GTK 3 editor, a GTK 4 editor, and the three
// kinds of field of a web page in Firefox and in Chromium. Each case is tried several times in one
// run of the application (PENNIAL_REAL_APP_TRIES, 2 unless set): a rewrite of text holding
// characters outside the BMP in the middle of a multi-line document, a plain multi-line snippet,
// and the palette driven with Down and Return; the field's text and caret are checked after each,
// and the clipboard, holding HTML and an image, must be back at the end.

#include "base/unicode.hpp"
#include "desktop_support/third_party_app.hpp"
#include "linux_coordinator_fixture.hpp"
#include "text/text_processing.hpp"

#include <algorithm>
#include <cstdlib>
#include <gmock/gmock.h>

using namespace pennial;
using namespace pennial::e2e;
using desktop_support::tapKeys;
using desktop_support::ThirdPartyApp;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;
using ::testing::Contains;
using ::testing::Pair;

namespace {

using Kind = ThirdPartyApp::Kind;

struct Target {
    Kind kind;
    const char* field; // in a browser
};

std::string targetName(const ::testing::TestParamInfo<Target>& info) {
    std::string name = ThirdPartyApp::name(info.param.kind);
    if (info.param.kind == Kind::firefox || info.param.kind == Kind::chromium)
        name += std::string("_") + info.param.field;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

int tries() {
    const char* set = std::getenv("PENNIAL_REAL_APP_TRIES");
    return set ? std::max(1, std::atoi(set)) : 2;
}

// Text of the user's before the trigger: outside the BMP, a combining sequence, an accent.
constexpr const char* userText = "first 😀 line é second 𝒳 line 👩‍👩‍👧 beta";
constexpr const char* snippet = "12 Garden Lane\nSpringfield";

std::int64_t utf16(const std::string& text) {
    return static_cast<std::int64_t>(unicode::utf16Length(text));
}

// A single-line field takes a pasted line break as a space, or drops it.
bool sameInLine(const std::string& actual, const std::string& expected) {
    std::string spaced = expected;
    std::replace(spaced.begin(), spaced.end(), '\n', ' ');
    std::string joined = expected;
    std::erase(joined, '\n');
    return actual == expected || actual == spaced || actual == joined;
}

class RealApplication : public LinuxCoordinatorTest, public ::testing::WithParamInterface<Target> {
protected:
    void SetUp() override {
        LinuxCoordinatorTest::SetUp();
        if (IsSkipped())
            return;
        if (!ThirdPartyApp::installed(GetParam().kind))
            GTEST_SKIP() << ThirdPartyApp::name(GetParam().kind) << " is not installed";
        singleLine = std::string(GetParam().field) == "input" && isBrowser();
        signIn();
        addCommand("addr", snippet, false);
        // Each try waits for the field to settle, not for the pause after a transform that keeps
        // an echo from running again: the next try's trigger is a new one.
        timings.transformCooldown = std::chrono::milliseconds(0);
        launch();
        // The user's clipboard, owned by another application: it must be back afterwards.
        clipboardOwner = std::make_unique<TestEditor>();
        clipboardOwner->copySample();
        app = std::make_unique<ThirdPartyApp>(ThirdPartyApp::Options{
            GetParam().kind, GetParam().field, userText, singleLine ? "" : "\nthird line"});
    }
    void TearDown() override {
        app.reset();
        clipboardOwner.reset();
        LinuxCoordinatorTest::TearDown();
    }

    std::string appName() const {
        switch (GetParam().kind) {
        case Kind::gtk3Editor:
            return "mousepad";
        case Kind::gtk4Editor:
            return "gnome-text-editor";
        case Kind::firefox:
            return "Firefox";
        case Kind::chromium:
            return "Chromium";
        }
        return "";
    }
    bool isBrowser() const {
        return GetParam().kind == Kind::firefox || GetParam().kind == Kind::chromium;
    }
    void answerTransform(const std::string& text) {
        backend.answerNext(Endpoint::transform, FakeAnswer::json(200, {{"transformedText", text},
                                                                       {"processingTimeMs", 7}}));
    }
    // The field holds expected (in a single line, as such a field takes it), the caret after
    // what was written.
    void expectWritten(const std::string& expected, std::int64_t caret, int attempt) {
        const auto whole = expected + app->options().after;
        const bool written = waitUntil(
            [&] {
                auto text = app->text();
                return text && (singleLine ? sameInLine(*text, whole) : *text == whole);
            },
            10s);
        ASSERT_TRUE(written) << "try " << attempt << ": " << app->text().value_or("<unreadable>");
        if (!singleLine)
            EXPECT_TRUE(waitUntil([&] { return app->caret() == caret; }, 2s))
                << "try " << attempt << ": caret " << app->caret().value_or(-1) << ", not "
                << caret;
        EXPECT_EQ(app->text().value_or("").find("\uFEFF"), std::string::npos);
    }
    // Next try: the field as it was, and past the pause that follows a transform (from its end: a
    // keyboard paste ends once the clipboard is back, 1.5 s after the text is in).
    void nextTry() {
        pumpFor(isBrowser() ? 3200ms : 1600ms);
        app->reset();
    }

    std::unique_ptr<TestEditor> clipboardOwner;
    std::unique_ptr<ThirdPartyApp> app;
    bool singleLine = false;
};

} // namespace

TEST_P(RealApplication, RewritesSnippetsAndThePaletteWriteExactlyTheirText) {
    const std::string answer = "Fixed 😀 text 𝒳 here";
    std::size_t transforms = 0;
    for (int attempt = 1; attempt <= tries(); ++attempt) {
        answerTransform(answer);
        typeOnKeyboard(" ;;fix");
        ASSERT_NO_FATAL_FAILURE(expectWritten(answer, utf16(answer), attempt));
        const auto requests = backend.requests(Endpoint::transform);
        ASSERT_EQ(requests.size(), ++transforms);
        EXPECT_EQ(requests.back().json()["text"], userText) << "try " << attempt;
        EXPECT_EQ(requests.back().json()["command"], "fix");
        // The application's own name.
        EXPECT_EQ(requests.back().json()["context"]["appName"], appName()) << "try " << attempt;
        nextTry();
    }
    for (int attempt = 1; attempt <= tries(); ++attempt) {
        typeOnKeyboard(" ;;addr");
        const auto composed = TextProcessing::composeSnippetText(userText, snippet, "");
        ASSERT_NO_FATAL_FAILURE(expectWritten(composed, utf16(composed), attempt));
        nextTry();
    }
    for (int attempt = 1; attempt <= tries(); ++attempt) {
        const auto shown = overlay->palettes.size();
        answerTransform("Short.");
        typeOnKeyboard(" ;;t");
        ASSERT_TRUE(waitUntil(
            [&] {
                return overlay->palettes.size() > shown && overlay->palettes.back().query == "t" &&
                       overlay->palettes.back().suggestions.size() > 1;
            },
            10s))
            << "try " << attempt;
        // Down moves the selection one row on from where the palette opened it.
        const auto opened = overlay->palettes.back().selectedIndex;
        const auto rows = static_cast<int>(overlay->palettes.back().suggestions.size());
        tapKeys({"Down"});
        ASSERT_TRUE(waitUntil(
            [&] {
                return overlay->palettes.back().selectedIndex == std::min(opened + 1, rows - 1);
            },
            10s))
            << "try " << attempt << ": opened at " << opened << ", now "
            << overlay->palettes.back().selectedIndex << " of " << rows;
        pumpFor(100ms); // the last query update settles
        const auto& palette = overlay->palettes.back();
        const auto chosen =
            palette.suggestions[static_cast<std::size_t>(palette.selectedIndex)].name;
        tapKeys({"Return"});
        ASSERT_NO_FATAL_FAILURE(expectWritten("Short.", utf16("Short."), attempt));
        ASSERT_EQ(backend.requests(Endpoint::transform).size(), ++transforms);
        EXPECT_EQ(backend.requests(Endpoint::transform).back().json()["command"], chosen);
        nextTry();
    }
    EXPECT_TRUE(log.matching("❌").empty()) << log.matching("❌").front();

    pumpFor(1600ms); // a paste's clipboard comes back 1.5 s after it
    const auto clipboard = clipboardOwner->clipboard();
    EXPECT_THAT(clipboard, Contains(Pair("text/html", "<p>Pennial <b>sample</b></p>")));
    // Its own image while the sample's owner still holds the clipboard, a PNG once restored.
    EXPECT_TRUE(std::any_of(clipboard.begin(), clipboard.end(), [](const auto& format) {
        return format.first == "application/x-qt-image" ||
               (format.first == "image/png" && format.second.starts_with("\x89PNG"));
    }));
}

INSTANTIATE_TEST_SUITE_P(Editors, RealApplication,
                         ::testing::Values(Target{Kind::gtk3Editor, ""},
                                           Target{Kind::gtk4Editor, ""}),
                         targetName);
INSTANTIATE_TEST_SUITE_P(
    Browsers, RealApplication,
    ::testing::Values(Target{Kind::firefox, "textarea"}, Target{Kind::firefox, "input"},
                      Target{Kind::firefox, "editable"}, Target{Kind::chromium, "textarea"},
                      Target{Kind::chromium, "input"}, Target{Kind::chromium, "editable"}),
    targetName);
