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

using Report = std::pair<std::string, Pid>;

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
    }

    void start() {
        monitor->start();
        settle();
    }
    void settle() {
        do
            io.restart();
        while (io.poll() > 0);
    }
    std::vector<Report> take() { return std::exchange(reports, {}); }
    std::string lastText() { return reports.empty() ? "<none>" : reports.back().first; }
    void press(Key key, unsigned modifiers = 0, std::string characters = {}) {
        desktop.keyboard().press(key, modifiers, std::move(characters));
        settle();
    }

    asio::io_context io;
    SimDesktop desktop;
    SimElementPtr field, other;
    std::vector<Report> reports;
    std::shared_ptr<KeyboardTriggerMonitor> monitor = std::make_shared<KeyboardTriggerMonitor>(
        [this](const std::string& text, Pid pid) { reports.emplace_back(text, pid); },
        KeyboardTriggerMonitor::Facilities{desktop.keyboard().eventSource(io.get_executor()),
                                           desktop.workspace(), io.get_executor()});
};

TEST_F(KeyboardTriggerMonitorTest, RebuildsTypingKeyByKeyAsTheFieldReceivesIt) {
    start();
    EXPECT_THAT(take(), ElementsAre(Report{"", 501}));
    desktop.keyboard().type("hi ;;fix");
    settle();
    EXPECT_THAT(take(),
                ElementsAre(Report{"h", 501}, Report{"hi", 501}, Report{"hi ", 501},
                            Report{"hi ;", 501}, Report{"hi ;;", 501}, Report{"hi ;;f", 501},
                            Report{"hi ;;fi", 501}, Report{"hi ;;fix", 501}));
    EXPECT_EQ(field->text(), "hi ;;fix");

    press(Key::backspace);
    EXPECT_EQ(lastText(), "hi ;;fi");
    press(Key::returnKey, 0, "\r");
    EXPECT_EQ(lastText(), "hi ;;fi\n");
    EXPECT_EQ(field->text(), "hi ;;fi\n") << "the simulated application edits as it is typed into";
    press(Key::other, KeyModifier::shift, "A");
    press(Key::other, KeyModifier::option, "é");
    EXPECT_EQ(lastText(), "hi ;;fi\nAé");
    take();
    press(Key::other, 0, ""); // a dead key
    EXPECT_THAT(take(), IsEmpty());
}

TEST_F(KeyboardTriggerMonitorTest, ChordsAndCaretMovesClearBackspaceTakesOneCharacter) {
    start();
    for (auto key :
         {Key::tab, Key::escape, Key::home, Key::end, Key::pageUp, Key::pageDown,
          Key::forwardDelete, Key::leftArrow, Key::rightArrow, Key::upArrow, Key::downArrow}) {
        desktop.keyboard().type("ab");
        press(key);
        EXPECT_EQ(lastText(), "") << static_cast<int>(key);
    }
    for (auto modifier : {KeyModifier::control, KeyModifier::command, KeyModifier::function}) {
        desktop.keyboard().type("ab");
        press(Key::other, modifier, "v");
        EXPECT_EQ(lastText(), "");
    }
    desktop.keyboard().type("a👍🏽e\u0301");
    press(Key::backspace);
    EXPECT_EQ(lastText(), "a👍🏽");
    press(Key::backspace);
    EXPECT_EQ(lastText(), "a");
    press(Key::backspace);
    take();
    press(Key::backspace);
    EXPECT_THAT(take(), IsEmpty()) << "nothing to delete, nothing to report";
}

TEST_F(KeyboardTriggerMonitorTest, KeepsTheLast256Characters) {
    start();
    std::string typed;
    for (int i = 0; i < 256; ++i)
        typed += "👍🏽";
    desktop.keyboard().type(typed);
    press(Key::other, 0, "x");
    EXPECT_EQ(unicode::graphemeCount(lastText()), 256u);
    EXPECT_EQ(lastText(), typed.substr(std::string("👍🏽").size()) + "x");
}

TEST_F(KeyboardTriggerMonitorTest, AnotherApplicationStartsAFreshBuffer) {
    start();
    desktop.keyboard().type("abc");
    desktop.focus(other);
    settle();
    EXPECT_EQ(reports.back(), (Report{"", 502}));

    desktop.keyboard().type("abc");
    settle();
    take();
    // The key is handled after the switch, before the activation is told.
    desktop.keyboard().press(Key::other, 0, "x");
    desktop.focus(field);
    settle();
    EXPECT_THAT(take(), ElementsAre(Report{"x", 501}, Report{"", 501}));
}

TEST_F(KeyboardTriggerMonitorTest, NothingIsKeptWhileAPasswordFieldHasFocus) {
    start();
    desktop.keyboard().type("user;;");
    monitor->setSecureFieldFocused(true);
    settle();
    take();
    desktop.keyboard().type("hunter2");
    press(Key::backspace);
    EXPECT_THAT(take(), IsEmpty());
    monitor->setSecureFieldFocused(false);
    press(Key::other, 0, "x");
    EXPECT_THAT(take(), ElementsAre(Report{"x", 501})) << "the text before it was dropped too";
}

TEST_F(KeyboardTriggerMonitorTest, StopsObservingAndRefusedKeyEventsLeaveOnlyActivations) {
    start();
    EXPECT_EQ(desktop.keyboard().observerCount(), 1u);
    monitor->stop();
    settle();
    EXPECT_EQ(desktop.keyboard().observerCount(), 0u);
    take();
    desktop.keyboard().type("abc");
    desktop.focus(other);
    settle();
    EXPECT_THAT(take(), IsEmpty());

    desktop.keyboard().setObservingAllowed(false);
    start();
    desktop.keyboard().type("abc");
    desktop.focus(field);
    settle();
    EXPECT_THAT(take(), ElementsAre(Report{"", 502}, Report{"", 501}));
}

} // namespace
