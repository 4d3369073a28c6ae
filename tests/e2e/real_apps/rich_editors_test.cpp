// The road in a rich editor of a web page (rich.html: paragraphs, a list, links, bold and italic
// spans) in Firefox and in Chromium, with the trigger typed at the end of the first block, of a
// middle one (in a bold span), of a list item and of the last block. A snippet and a rewrite that
// adds to the text each replace only the trigger: the field's text as the user sees it, the caret
// after what was written, and the page's HTML before and after that spot as it was. The rewrite's
// request carries the editor's text as shown and the page around it, not the browser's controls.
// A rewrite that changes the first word and drops the trigger writes those two places apart, so
// the formatted words between them keep their formatting.
// The same editor is also made by three editor libraries that web applications use (Quill,
// ProseMirror, Trix), installed from the npm registry by the tests' own script and served on the
// loopback; each builds its own tree (bullets, paragraphs inside list items, blocks of divs).

#include "base/unicode.hpp"
#include "desktop_support/third_party_app.hpp"
#include "desktop_support/typing_burst.hpp"
#include "linux_coordinator_fixture.hpp"
#include "text/text_processing.hpp"

#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdlib>
#include <gmock/gmock.h>
#include <httplib.h>
#include <iostream>
#include <thread>

using namespace pennial;
using namespace pennial::e2e;
using desktop_support::ThirdPartyApp;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;

namespace {

using Kind = ThirdPartyApp::Kind;

// The editor's text as it shows, and where each spot's element ends in it.
constexpr const char* shown = "Dear team, the report is here today\n"
                              "Middle line with bold words\n"
                              "first item\n"
                              "second item\n"
                              "Last link line";
struct Spot {
    Kind kind;
    const char* id;     // the element of the page that takes the caret at its end
    const char* ending; // the text up to that end
    // The editor library that makes the page (quill, prosemirror, trix); none for rich.html,
    // made by hand.
    const char* library = nullptr;
};

std::string spotName(const ::testing::TestParamInfo<Spot>& info) {
    std::string name = ThirdPartyApp::name(info.param.kind);
    std::replace(name.begin(), name.end(), '-', '_');
    if (info.param.library)
        name += std::string("_") + info.param.library;
    return name + "_" + info.param.id;
}

// The folder the libraries' pages are served from, the libraries installed by the tests' own
// script once a run; none without npm or the registry.
std::optional<std::string> editorSite() {
    static const std::optional<std::string> site = []() -> std::optional<std::string> {
        const QString here = QFileInfo("/proc/self/exe").canonicalFilePath().section('/', 0, -2);
        const QString folder = here + "/editor_libraries";
        QProcess script;
        script.start(QStringLiteral(PENNIAL_TEST_SOURCE_DIR "/desktop_support/editor_libraries.sh"),
                     {folder});
        if (!script.waitForFinished(300000) || script.exitCode() != 0)
            return std::nullopt;
        return (folder + "/site").toStdString();
    }();
    return site;
}

int richTries() {
    return desktop_support::triesFromEnvironment("PENNIAL_REAL_APP_TRIES", 2);
}

class RichEditor : public LinuxCoordinatorTest, public ::testing::WithParamInterface<Spot> {
protected:
    void SetUp() override {
        LinuxCoordinatorTest::SetUp();
        if (IsSkipped())
            return;
        if (!ThirdPartyApp::installed(GetParam().kind))
            GTEST_SKIP() << ThirdPartyApp::name(GetParam().kind) << " is not installed";
        std::string page = "rich.html";
        if (const char* library = GetParam().library) {
            const auto site = editorSite();
            if (!site)
                GTEST_SKIP() << "the editor libraries could not be installed (npm)";
            server.set_mount_point("/", *site);
            const int port = server.bind_to_any_port("127.0.0.1");
            serving = std::thread([this] { server.listen_after_bind(); });
            page = "http://127.0.0.1:" + std::to_string(port) + "/" + library + ".html";
        }
        signIn();
        addCommand("regards", "Best regards", false);
        timings.transformCooldown = std::chrono::milliseconds(0);
        launch();
        const std::string whole = shown;
        const auto at = whole.find(GetParam().ending) + std::string(GetParam().ending).size();
        before = whole.substr(0, at);
        after = whole.substr(at);
        app = std::make_unique<ThirdPartyApp>(
            ThirdPartyApp::Options{GetParam().kind, GetParam().id, before, after, page});
    }
    void TearDown() override {
        app.reset();
        if (serving.joinable()) {
            server.stop();
            serving.join();
        }
        LinuxCoordinatorTest::TearDown();
    }

    // Whether the field comes to hold written before the rest of the editor, the caret after it,
    // and the HTML around the spot as it was; a miss tells what was found instead.
    std::optional<std::string> written(const std::string& expected) {
        std::optional<std::string> text;
        if (!waitUntil([&] { return (text = app->text()) == expected + after; }, 10s))
            return "the field holds \"" + text.value_or("<unreadable>") + "\"";
        const auto caret = static_cast<std::int64_t>(unicode::utf16Length(expected));
        if (!waitUntil([&] { return app->caret() == caret; }, 2s))
            return "caret at " + std::to_string(app->caret().value_or(-1)) + ", not " +
                   std::to_string(caret);
        desktop_support::tapKeys({"F4"});
        std::string title;
        if (!waitUntil([&] { return (title = app->activeWindowTitle()).starts_with("HTML"); },
                       5s) ||
            !title.starts_with("HTML kept"))
            return "the page says " + title;
        return std::nullopt;
    }
    // The request carries the editor's text as shown, and the page around it without the
    // browser's own buttons and address bar; a miss tells what it carried instead.
    std::optional<std::string> requested() {
        const auto sent = backend.requests(Endpoint::transform);
        if (sent.empty())
            return std::string("no request");
        const auto request = sent.back().json();
        const auto around = request["context"].value("surroundingText", std::string());
        const bool pageOnly = around.find("Volunteers meet") != std::string::npos &&
                              around.find("file:") == std::string::npos &&
                              around.find("Reload") == std::string::npos &&
                              around.find("\uFFFC") == std::string::npos;
        if (request["text"] != before || !pageOnly)
            return "the request was " + request.dump();
        return std::nullopt;
    }
    void nextTry() {
        waitUntil([&] { return !coordinator->statusMessage().starts_with("Processing"); }, 10s);
        app->reset();
    }

    std::string before, after;
    std::unique_ptr<ThirdPartyApp> app;
    httplib::Server server;
    std::thread serving;
};

} // namespace

TEST_P(RichEditor, ASnippetAndARewriteReplaceOnlyTheTrigger) {
    std::vector<std::string> misses;
    int tried = 0;
    for (int attempt = 1; attempt <= richTries(); ++attempt) {
        typeOnKeyboard(" ;;regards");
        ++tried;
        // The space before the trigger goes with it.
        if (auto miss = written(TextProcessing::composeSnippetText(before, "Best regards", "")))
            misses.push_back("snippet try " + std::to_string(attempt) + ": " + *miss);
        nextTry();

        // The result keeps the text it was made from and adds to it: only the addition is new.
        const auto result = before + " indeed";
        backend.answerNext(Endpoint::transform, FakeAnswer::json(200, {{"transformedText", result},
                                                                       {"processingTimeMs", 7}}));
        typeOnKeyboard(" ;;fix");
        ++tried;
        if (auto miss = written(result))
            misses.push_back("rewrite try " + std::to_string(attempt) + ": " + *miss);
        else if (auto request = requested())
            misses.push_back("rewrite try " + std::to_string(attempt) + ": " + *request);
        nextTry();

        // A rewrite that changes the first word of the first block writes there and at the
        // trigger only: the italic, bold and linked words between keep their formatting.
        auto changed = before;
        changed.replace(0, 4, "Dearest");
        backend.answerNext(Endpoint::transform, FakeAnswer::json(200, {{"transformedText", changed},
                                                                       {"processingTimeMs", 7}}));
        typeOnKeyboard(" ;;fix");
        ++tried;
        if (auto miss = written(changed))
            misses.push_back("rewrite across blocks try " + std::to_string(attempt) + ": " + *miss);
        nextTry();
    }
    std::cout << "[ TALLY    ] " << tried - static_cast<int>(misses.size()) << "/" << tried
              << std::endl;
    for (const auto& miss : misses)
        ADD_FAILURE() << miss;
    EXPECT_TRUE(log.matching("❌").empty()) << log.matching("❌").front();
}

// Each page in each browser, the trigger at the end of each spot.
std::vector<Spot> spots() {
    const std::pair<const char*, const char*> ends[] = {{"first", "today"},
                                                        {"middle", "bold words"},
                                                        {"item", "first item"},
                                                        {"last", "link line"}};
    std::vector<Spot> all;
    for (const char* library : {static_cast<const char*>(nullptr), "quill", "prosemirror", "trix"})
        for (const auto kind : {Kind::firefox, Kind::chromium})
            for (const auto& [id, ending] : ends)
                all.push_back({kind, id, ending, library});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Browsers, RichEditor, ::testing::ValuesIn(spots()), spotName);
