// The program in a Wayland session: GTK 3 and GTK 4 editors running as native Wayland clients,
// reached through the accessibility bus alone, while the test's own Qt application and our windows
// go through Xwayland. No input device can be read, no virtual keyboard made and no desktop portal
// lends a keyboard here, so the key paths are unavailable, as for a user outside the "input" group
// on a desktop without that portal. Runs only inside
// scripts/wayland-session (the e2e_wayland_tests entry); skipped anywhere else.

#include "linux_coordinator_fixture.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "ui/overlay/palette_row.hpp"
#include "ui/overlay/spinner_overlay_controller.hpp"

#include <QProcess>
#include <cstdlib>
#include <gmock/gmock.h>
#include <thread>

using namespace pennial;
using namespace pennial::e2e;
using pennial::testing::Endpoint;
using pennial::testing::FakeAnswer;

namespace {

bool inWaylandSession() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return type && std::string(type) == "wayland";
}

// An editor as a native Wayland client (mousepad unless named). What the user types arrives as
// the accessibility bus's text insertions, or with typeOnSeat as keys on the compositor's seat.
class WaylandEditor {
public:
    explicit WaylandEditor(const QString& program = "mousepad", const QStringList& arguments = {}) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("GDK_BACKEND", "wayland");
        process_.setProcessEnvironment(environment);
        process_.start(program, arguments);
    }
    ~WaylandEditor() {
        process_.kill();
        process_.waitForFinished(5000);
    }

    Pid pid() const { return static_cast<Pid>(process_.processId()); }

    // Until its document has keyboard focus.
    bool waitForFocus() {
        return waitUntil(
            [&] {
                auto application = accessibility_.applicationElement(pid());
                auto focused =
                    accessibility_.copyAttributeValue(application, ax::attribute::focusedUIElement);
                auto element = focused.ok() ? focused.value()->asElement() : std::nullopt;
                if (!element)
                    return false;
                field_ = *element;
                return accessibility_.copyAttributeValue(field_, ax::attribute::value).ok();
            },
            15s);
    }

    std::string text() {
        auto value = accessibility_.copyAttributeValue(field_, ax::attribute::value);
        auto text = value.ok() ? value.value()->asString() : std::nullopt;
        return text.value_or("<unreadable>");
    }

    // One character at a time at the caret, as typing inserts them.
    void type(const std::string& text) {
        for (std::size_t i = 0; i < text.size();) {
            std::size_t length = 1;
            const auto lead = static_cast<unsigned char>(text[i]);
            if (lead >= 0xf0)
                length = 4;
            else if (lead >= 0xe0)
                length = 3;
            else if (lead >= 0xc0)
                length = 2;
            ASSERT_EQ(accessibility_.setAttributeValue(field_, ax::attribute::selectedText,
                                                       AXValue(text.substr(i, length))),
                      AXError::success);
            i += length;
            pumpFor(15ms);
        }
    }

    // Keys typed on the X server that feeds the compositor's seat reach the focused client; a
    // line break as the Return key (xdotool's own has no key in this keymap).
    void typeOnSeat(const std::string& text) {
        std::size_t start = 0;
        for (auto end = text.find('\n');; end = text.find('\n', start)) {
            const auto line = text.substr(start, end == std::string::npos ? end : end - start);
            if (!line.empty())
                xdotool({"type", "--delay", "30", "--", QString::fromStdString(line)});
            if (end == std::string::npos)
                return;
            xdotool({"key", "Return"});
            start = end + 1;
        }
    }

    bool waitForText(const std::string& expected, std::chrono::milliseconds timeout = 10s) {
        return waitUntil([&] { return text() == expected; }, timeout);
    }

    void pressOnSeat(const QString& key) { xdotool({"key", key}); }

private:
    static void xdotool(const QStringList& arguments) {
        QProcess typing;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", qEnvironmentVariable("SESSION_OUTER_DISPLAY"));
        typing.setProcessEnvironment(environment);
        typing.start("xdotool", arguments);
        ASSERT_TRUE(waitUntil([&] { return typing.state() == QProcess::NotRunning; }, 30s));
        ASSERT_EQ(typing.exitCode(), 0);
    }

    QProcess process_;
    AtspiAccessibility accessibility_;
    AXElement field_;
};

// The real panel on screen (through Xwayland), with what it was asked to show recorded.
class ShownOverlay : public SpinnerOverlay {
public:
    ShownOverlay(std::shared_ptr<pennial::testing::FakeSpinnerOverlay> recorded,
                 std::shared_ptr<Screens> screens)
        : recorded_(std::move(recorded)),
          shown_(std::move(screens), {}, PanelPlacing::outsideWindowManager) {}

    void showCommandPalette(std::vector<TemplateSuggestion> suggestions, std::string query,
                            int selectedIndex, std::optional<Point> caret, SelectHandler onSelect,
                            std::optional<Screen> screen) override {
        recorded_->showCommandPalette(suggestions, query, selectedIndex, caret, onSelect, screen);
        shown_.showCommandPalette(std::move(suggestions), std::move(query), selectedIndex, caret,
                                  std::move(onSelect), std::move(screen));
    }
    void setPaletteNote(std::string note) override {
        recorded_->setPaletteNote(note);
        shown_.setPaletteNote(std::move(note));
    }
    void transitionToProcessing() override {
        recorded_->transitionToProcessing();
        shown_.transitionToProcessing();
    }
    void hide() override {
        recorded_->hide();
        shown_.hide();
    }

    QRect panelGeometry() const { return shown_.panel()->geometry(); }
    // Where the display server has the panel's window, as another client would ask for it.
    std::optional<QPoint> placedAt() const {
        QProcess asking;
        asking.start("xwininfo", {"-id", QString::number(shown_.panel()->winId())});
        if (!waitUntil([&] { return asking.state() == QProcess::NotRunning; }, 10s))
            return std::nullopt;
        const auto answer = QString::fromUtf8(asking.readAllStandardOutput());
        auto read = [&](const QString& label) {
            const auto at = answer.indexOf(label);
            return at < 0 ? -1
                          : answer.mid(at + label.size()).section('\n', 0, 0).trimmed().toInt();
        };
        return QPoint(read("Absolute upper-left X:"), read("Absolute upper-left Y:"));
    }
    // The centre of the row, in the screen's coordinates.
    std::optional<QPoint> rowCentre(const std::string& name) const {
        auto* panel = shown_.panel();
        auto* row = panel ? panel->findChild<PaletteRow*>(QString::fromStdString(name)) : nullptr;
        // Wholly in view: a row scrolled out of the list is still "visible" to Qt.
        if (!row || !row->isVisible() || row->visibleRegion() != QRegion(row->rect()))
            return std::nullopt;
        return row->mapToGlobal(row->rect().center());
    }

private:
    std::shared_ptr<pennial::testing::FakeSpinnerOverlay> recorded_;
    SpinnerOverlayController shown_;
};

class OnWayland : public LinuxCoordinatorTest {
protected:
    void SetUp() override {
        if (!inWaylandSession())
            GTEST_SKIP() << "needs scripts/wayland-session";
        LinuxCoordinatorTest::SetUp();
    }
    void answerTransform(const std::string& text) {
        backend.answerNext(Endpoint::transform, FakeAnswer::json(200, {{"transformedText", text},
                                                                       {"processingTimeMs", 7}}));
    }
    bool logged(const std::string& line, std::chrono::milliseconds timeout = 10s) {
        return waitUntil([&] { return log.contains(line); }, timeout);
    }
    // Outlives the coordinator, whose last hold on it may go on another thread: a panel is the
    // user interface's to destroy.
    std::shared_ptr<ShownOverlay> shown;
};

} // namespace

TEST_F(OnWayland, ANativeWaylandEditorHasItsCommandRewrittenAndASnippetInserted) {
    signIn();
    launch();
    EXPECT_TRUE(log.contains("🔵 [Platform] Display session: Wayland"));
    // No device to read, no virtual keyboard to make: said once, and nothing else breaks. The
    // desktop's portal is asked instead; weston offers none that can lend a keyboard.
    EXPECT_TRUE(log.contains("⚠️ [Platform] No keyboard device can be read (the user is not in "
                             "the input group); typed keys are not seen"));
    EXPECT_TRUE(log.contains("🔵 [Platform] /dev/uinput cannot be written; shortcuts go through "
                             "the desktop's remote desktop portal, asked for once monitoring "
                             "starts"));

    WaylandEditor editor;
    ASSERT_TRUE(editor.waitForFocus()) << "mousepad's document never took focus";

    answerTransform("hello world");
    editor.type("helo wrld ;;fix");
    EXPECT_TRUE(editor.waitForText("hello world")) << editor.text();
    EXPECT_TRUE(logged("✅ [Pennial] Text replaced via range replacement"));
    const auto transforms = backend.requests(Endpoint::transform);
    ASSERT_EQ(transforms.size(), 1u);
    EXPECT_EQ(transforms[0].json()["text"], "helo wrld");

    answerTransform("Best wishes, Ada");
    pumpFor(1600ms); // a trigger right after a transform is taken for its echo
    editor.type("\nthanks ;;sig");
    // Inserted on a line of its own below the text before the trigger.
    EXPECT_TRUE(editor.waitForText("hello world\nthanks\nBest wishes, Ada")) << editor.text();
}

TEST_F(OnWayland, AGtk4EditorThatNeverSaysItIsActiveIsFoundAndWrittenInto) {
    signIn();
    launch();
    // gnome-text-editor (GTK 4) ends with its window ACTIVE but sends no activation event and no
    // focus report: only what it does while typed in gives it away.
    WaylandEditor editor("gnome-text-editor", {"--standalone", "--ignore-session"});
    ASSERT_TRUE(editor.waitForFocus()) << "gnome-text-editor's document never took focus";

    answerTransform("hello world");
    editor.typeOnSeat("helo wrld ;;fix");
    EXPECT_TRUE(editor.waitForText("hello world", 20s)) << editor.text();
    const auto transforms = backend.requests(Endpoint::transform);
    ASSERT_EQ(transforms.size(), 1u);
    EXPECT_EQ(transforms[0].json()["text"], "helo wrld");

    answerTransform("Best wishes, Ada");
    pumpFor(1600ms); // a trigger right after a transform is taken for its echo
    editor.typeOnSeat("\nthanks ;;sig");
    EXPECT_TRUE(editor.waitForText("hello world\nthanks\nBest wishes, Ada", 20s)) << editor.text();
}

TEST_F(OnWayland, ThePaletteShowsWhereTheCaretCannotBeKnown) {
    signIn();
    launch();
    WaylandEditor editor;
    ASSERT_TRUE(editor.waitForFocus());

    editor.type("note ;;f");
    ASSERT_TRUE(waitUntil(
        [&] { return !overlay->palettes.empty() && overlay->palettes.back().query == "f"; }, 10s));
    // A native Wayland client's "screen" coordinates are its window's: rather than a wrong place,
    // the palette is given none and places itself by its own rule.
    EXPECT_EQ(overlay->palettes.back().caret, std::nullopt);
}

TEST_F(OnWayland, ThePaletteStandsWhereItAskedSaysHowItIsUsedAndClosesOnACaretMoveOrEscape) {
    overlayAround = [&](std::shared_ptr<pennial::testing::FakeSpinnerOverlay> recorded,
                        std::shared_ptr<Screens> screens) {
        shown = std::make_shared<ShownOverlay>(std::move(recorded), std::move(screens));
        return shown;
    };
    signIn();
    launch();
    WaylandEditor editor;
    ASSERT_TRUE(editor.waitForFocus());

    editor.type("note ;;y"); // reply, ty
    ASSERT_TRUE(waitUntil([&] { return shown->rowCentre("ty").has_value(); }, 10s));
    // No key can be taken or seen here: the palette says so.
    EXPECT_EQ(overlay->palettes.back().note, "Click to run: keys stay in the field");
    // Where Xwayland's window manager would have put it, a click aimed at a row lands elsewhere.
    const auto asked = shown->panelGeometry();
    EXPECT_EQ(shown->placedAt(), asked.topLeft()) << "asked for " << asked.x() << "," << asked.y();

    // The caret moved on by a key the palette cannot see closes it.
    editor.typeOnSeat("\n");
    EXPECT_TRUE(logged("⌨️ [Pennial] Palette closed: the caret left the trigger"));
    EXPECT_FALSE(overlay->visible);

    // So does Escape, which the editor (GTK 3) reports of itself, though the caret stays.
    editor.type("thanks ;;y");
    ASSERT_TRUE(waitUntil([&] { return overlay->visible; }, 10s));
    log.clear();
    editor.pressOnSeat("Escape");
    EXPECT_TRUE(waitUntil([&] { return !overlay->visible; }, 5s));
    EXPECT_FALSE(log.contains("Palette closed")) << "closed by Escape, not by the caret";
    EXPECT_EQ(editor.text(), "note ;;y\nthanks ;;y");
}

TEST_F(OnWayland, AFieldThatRefusesWritesLosesNothingWithoutAKeyPath) {
    signIn();
    launch();
    // An X client on Xwayland whose field takes no accessible write: only a synthesised paste
    // could write it, and none can be made here.
    TestEditor editor({.focus = "single", .accessibleText = "read-only"});
    // Xwayland lets only the client with the keyboard own the clipboard.
    editor.activate();
    pumpFor(300ms);
    editor.copySample();
    const auto clipboardBefore = editor.clipboard();
    answerTransform("hello world");

    typeOnKeyboard("helo wrld ;;fix");
    // No synthesiser: both keyboard pastes are unavailable and the clipboard is never touched.
    EXPECT_TRUE(logged("❌ [Pennial] Error: unavailable", 20s));
    EXPECT_FALSE(log.contains("Clipboard changed during the paste"));
    EXPECT_EQ(editor.text(), "helo wrld ;;fix");
    EXPECT_EQ(editor.clipboard(), clipboardBefore);
}
