#pragma once
// What the simulated desktop's facilities share: applications, focus, trust, time and the call log.
// Internal to the simulated desktop; tests go through SimDesktop.

#include "platform/screens.hpp"
#include "platform/sim/sim_application.hpp"
#include "platform/sim/sim_call_log.hpp"
#include "platform/sim/sim_clipboard.hpp"
#include "platform/sim/sim_clock.hpp"
#include "platform/workspace.hpp"

#include <map>
#include <memory>
#include <mutex>

namespace pennial {

struct SimDesktopState {
    explicit SimDesktopState(SimTime mode) : clock(mode) {}

    struct ActivationObserver {
        Executor executor;
        Workspace::ActivationHandler handler;
    };

    SimClock clock;
    SimCallLog log;
    const std::shared_ptr<SimClipboard> clipboard = std::make_shared<SimClipboard>();

    std::mutex mutex; // guards everything below
    std::map<Pid, std::shared_ptr<SimApplication>> applications;
    SimElementPtr systemWide = SimElement::make("AXSystemWide");
    std::weak_ptr<SimElement> focused;
    std::optional<Pid> frontmost;
    bool trusted = true;
    bool grantTrustOnPrompt = false;
    int trustPrompts = 0;
    RunningApplication ownProcess{4242, "com.pennial.Pennial", "Pennial"};
    std::vector<OwnWindow> ownWindows;
    std::vector<std::string> openedURLs;
    std::vector<Screen> screens;
    std::size_t mainScreen = 0;
    SimClock::Clock::duration callLatency{0};
    std::map<int, ActivationObserver> activationObservers;
    int nextObserver = 1;

    // With mutex held.
    std::shared_ptr<SimApplication> applicationLocked(Pid pid) const {
        auto found = applications.find(pid);
        return found == applications.end() ? nullptr : found->second;
    }
};

} // namespace pennial
