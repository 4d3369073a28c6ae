#include "base/unicode.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "text/keyboard_trigger_monitor.hpp"

#include <asio/io_context.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace pennial;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using CapturedReport = std::pair<std::string, Pid>;

class KeyboardTriggerMonitorTest : public ::testing::Test {
protected:
    KeyboardTriggerMonitorTest() {
        field = desktop.addApplication({501, "org.example.notes", "Notes"})
                    ->addWindow("Notes")
                    ->add(SimElement::textArea());
        other = desktop.addApplication({502, "org.example.chat", "Chat"})
                    ->addWindow("Chat")
                    ->add(SimElement::textField());
        desktop.focus(field);
        monitor->start();
        settle();
    }

    void settle() {
        do
            io.restart();
        while (io.poll() > 0);
    }
    std::vector<CapturedReport> take() { return std::exchange(reports, {}); }
    std::string typed(std::string_view text) {
        desktop.keyboard().type(text);
        settle();
        return reports.empty() ? "<none>" : reports.back().first;
    }
    std::string pressed(Key key, unsigned modifiers = 0, std::string characters = {}) {
        take();
        desktop.keyboard().press(key, modifiers, std::move(characters));
        settle();
        return reports.empty() ? "<none>" : reports.back().first;
    }

    asio::io_context io;
    SimDesktop desktop;
    SimElementPtr field, other;
    std::vector<CapturedReport> reports;
    std::shared_ptr<KeyboardTriggerMonitor> monitor = std::make_shared<KeyboardTriggerMonitor>(
        [this](const std::string& text, Pid pid) { reports.emplace_back(text, pid); },
        KeyboardTriggerMonitor::Facilities{desktop.keyboard().eventSource(io.get_executor()),
                                           desktop.workspace(), io.get_executor()});
};

TEST_F(KeyboardTriggerMonitorTest, RebuildsWhatTheFieldReceivesKeyByKey) {
    typed("hi ;;fi");
    EXPECT_THAT(take(), ElementsAre(CapturedReport{"", 501}, CapturedReport{"h", 501},
                                    CapturedReport{"hi", 501}, CapturedReport{"hi ", 501},
                                    CapturedReport{"hi ;", 501}, CapturedReport{"hi ;;", 501},
                                    CapturedReport{"hi ;;f", 501}, CapturedReport{"hi ;;fi", 501}));
    EXPECT_EQ(typed("a👍🏽e\u0301"), "hi ;;fia👍🏽e\u0301");
    EXPECT_EQ(pressed(Key::backspace), "hi ;;fia👍🏽");
    EXPECT_EQ(pressed(Key::backspace), "hi ;;fia") << "one character, however many code points";
    EXPECT_EQ(pressed(Key::returnKey, 0, "\r"), "hi ;;fia\n");
    EXPECT_EQ(pressed(Key::other, KeyModifier::shift | KeyModifier::option, "Å"), "hi ;;fia\nÅ");
    EXPECT_EQ(field->text(), "hi ;;fia\nÅ")
        << "the simulated application edits as it is typed into";
    EXPECT_EQ(pressed(Key::other, 0, ""), "<none>") << "a key that produced nothing";

    for (auto key :
         {Key::tab, Key::escape, Key::home, Key::end, Key::pageUp, Key::pageDown,
          Key::forwardDelete, Key::leftArrow, Key::rightArrow, Key::upArrow, Key::downArrow}) {
        typed("ab");
        EXPECT_EQ(pressed(key), "") << static_cast<int>(key);
    }
    for (auto modifier :
         {KeyModifier::control, KeyModifier::alt, KeyModifier::command, KeyModifier::function}) {
        typed("ab");
        EXPECT_EQ(pressed(Key::other, modifier, "v"), "") << modifier;
    }
    EXPECT_EQ(pressed(Key::backspace), "<none>") << "nothing to delete, nothing to report";
}

TEST_F(KeyboardTriggerMonitorTest, KeepsTheLast256CharactersOfTheFrontmostApplication) {
    std::string thumbs;
    for (int i = 0; i < 256; ++i)
        thumbs += "👍🏽";
    auto kept = typed(thumbs + "x");
    EXPECT_EQ(unicode::graphemeCount(kept), 256u);
    EXPECT_EQ(kept, thumbs.substr(std::string("👍🏽").size()) + "x");

    desktop.focus(other);
    settle();
    EXPECT_EQ(reports.back(), (CapturedReport{"", 502}));
    typed("abc");
    take();
    // Handled after the switch back but before the activation is told: a fresh buffer all the same.
    desktop.keyboard().press(Key::other, 0, "x");
    desktop.focus(field);
    settle();
    EXPECT_THAT(take(), ElementsAre(CapturedReport{"x", 501}, CapturedReport{"", 501}));
}

TEST_F(KeyboardTriggerMonitorTest, PasswordFocusKeepsNothingAndStopEndsAllReports) {
    typed("user;;");
    monitor->setSecureFieldFocused(true);
    settle();
    EXPECT_EQ(pressed(Key::other, 0, "p"), "<none>");
    typed("w;;fix");
    EXPECT_THAT(take(), IsEmpty());
    monitor->setSecureFieldFocused(false);
    EXPECT_EQ(pressed(Key::other, 0, "x"), "x") << "what came before the password is gone too";

    monitor->stop();
    settle();
    EXPECT_EQ(desktop.keyboard().observerCount(), 0u);
    take();
    typed("abc");
    desktop.focus(other);
    settle();
    EXPECT_THAT(take(), IsEmpty());

    // Without key events only activations are reported.
    desktop.keyboard().setObservingAllowed(false);
    monitor->start();
    typed("abc");
    desktop.focus(field);
    settle();
    EXPECT_THAT(take(), ElementsAre(CapturedReport{"", 502}, CapturedReport{"", 501}));
}

} // namespace
