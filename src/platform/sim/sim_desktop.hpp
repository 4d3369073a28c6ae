#pragma once
// A desktop held in memory, for tests and the demo: applications with windows and accessibility
// trees, the focused element, this application's own windows, screens, trust, time and a log of
// every call. Its facilities implement the platform interfaces; the product runs on them unchanged.

#include "platform/accessibility.hpp"
#include "platform/screens.hpp"
#include "platform/sim/sim_application.hpp"
#include "platform/sim/sim_call_log.hpp"
#include "platform/sim/sim_clipboard.hpp"
#include "platform/sim/sim_clock.hpp"
#include "platform/sim/sim_keyboard.hpp"
#include "platform/sim/sim_keyboard_synthesizer.hpp"
#include "platform/workspace.hpp"

#include <memory>

namespace pennial {

struct SimDesktopState;

class SimDesktop {
public:
    explicit SimDesktop(SimTime time = SimTime::simulated);
    ~SimDesktop();
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    std::shared_ptr<Accessibility> accessibility() const { return accessibility_; }
    std::shared_ptr<Workspace> workspace() const { return workspace_; }
    std::shared_ptr<Screens> screens() const { return screens_; }

    std::shared_ptr<SimApplication> addApplication(RunningApplication info);
    std::shared_ptr<SimApplication> application(Pid pid) const;
    void removeApplication(Pid pid);
    // The system-wide element, to make its reads fail.
    SimElementPtr systemWide() const;

    // Gives the element keyboard focus: its window becomes the focused one and its application
    // the frontmost.
    void focus(const SimElementPtr& element);
    void clearFocus();
    // Makes the application (or this process) frontmost and tells the activation observers.
    void activate(Pid pid);
    void clearFrontmost();

    // Trust: with it withdrawn every accessibility call answers apiDisabled (-25211).
    void setTrusted(bool trusted);
    // Whether the user grants trust as soon as the prompt is shown.
    void setGrantTrustOnPrompt(bool grant);
    int trustPromptCount() const;

    const RunningApplication& ownProcess() const;
    void setOwnWindows(std::vector<OwnWindow> windows);
    std::vector<std::string> openedURLs() const;

    // The first screen is the primary one.
    void setScreens(std::vector<Screen> screens, std::size_t mainScreen = 0);

    SimClock& clock() const;
    SimClock::Clock::time_point now() const;
    // How long each accessibility call takes, unless an element says otherwise.
    void setCallLatency(SimClock::Clock::duration latency);

    SimCallLog& callLog() const;

    // The keyboard: tests type on it key by key; the product observes it through eventSource().
    SimKeyboard& keyboard() const { return *keyboard_; }
    // Shortcuts the product synthesises, pressed on that keyboard.
    std::shared_ptr<SimKeyboardSynthesizer> keyboardSynthesizer() const { return synthesizer_; }
    // The clipboard the fields paste from.
    std::shared_ptr<SimClipboard> clipboard() const;

private:
    std::shared_ptr<SimDesktopState> state_;
    std::shared_ptr<Accessibility> accessibility_;
    std::shared_ptr<Workspace> workspace_;
    std::shared_ptr<Screens> screens_;
    std::shared_ptr<SimKeyboard> keyboard_;
    std::shared_ptr<SimKeyboardSynthesizer> synthesizer_;
};

} // namespace pennial
