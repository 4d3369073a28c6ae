#pragma once
// What the coordinator is given rather than builds: the platform's facilities, the windows and
// panels (their implementations live above this layer), the deployment's addresses, and the waits.

#include "app/coordinator_timings.hpp"
#include "app/glass_card_window_controller.hpp"
#include "app/notch_passcode_panel.hpp"
#include "app/onboarding_window_controller.hpp"
#include "app/spinner_overlay.hpp"
#include "app/text_monitor_control.hpp"
#include "app/window_focus.hpp"
#include "base/runtime.hpp"
#include "platform/accessibility.hpp"
#include "platform/clipboard.hpp"
#include "platform/crash_reporter.hpp"
#include "platform/environment.hpp"
#include "platform/field_activity.hpp"
#include "platform/keyboard.hpp"
#include "platform/move_to_applications.hpp"
#include "platform/screens.hpp"
#include "platform/secret_store.hpp"
#include "platform/updater.hpp"
#include "platform/user_defaults.hpp"
#include "platform/workspace.hpp"
#include "services/http_client.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

class AccessibilityMonitor;

// The deployment's backend addresses and the hosted project's publishable key.
struct BackendEndpoints {
    std::string productApiBaseURL; // transform and telemetry
    std::string supabaseURL;       // sign-in and sync
    std::string supabaseAnonKey;
};

using TextMonitorFactory = std::function<std::shared_ptr<TextMonitorControl>(
    std::shared_ptr<AccessibilityMonitor> accessibilityMonitor, std::string triggerPattern)>;

struct CoordinatorDependencies {
    Executor main;

    std::shared_ptr<Accessibility> accessibility;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Screens> screens;
    std::shared_ptr<KeyEventSource> keyEvents; // the text monitor's keyboard fallback
    // Hints that start the text monitor's next poll at once; none: it polls on its interval.
    std::shared_ptr<FieldActivity> fieldActivity;
    // The palette's keys; none: they are never taken and the palette answers the mouse alone.
    std::shared_ptr<PaletteKeyInterceptor> paletteKeyInterceptor;
    // The write-back's keyboard pastes; without them those two methods fail.
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<KeyboardSynthesizer> keyboardSynthesizer;
    // Whether what the program puts on the clipboard is what the application (by process id)
    // pastes; none: it always is. Called on a worker thread.
    std::function<bool(Pid)> clipboardReachesPastes;
    std::shared_ptr<SecretStore> secretStore;
    std::shared_ptr<UserDefaults> userDefaults;
    std::shared_ptr<Environment> environment;
    std::shared_ptr<CrashReporter> crashReporter;
    std::shared_ptr<Updater> updater;
    std::shared_ptr<MoveToApplications> moveToApplications;
    // Whether the bus that accessibility is asked through answers; none: it always does.
    std::function<bool()> accessibilityBusReachable;

    std::shared_ptr<SpinnerOverlay> spinner;
    std::shared_ptr<NotchPasscodePanel> notchPasscodePanel;
    std::shared_ptr<OnboardingWindowController> onboardingWindow;
    std::shared_ptr<CardWindowFactory> cardWindows;
    std::shared_ptr<WindowFocus> windowFocus;

    // None: the real text monitor.
    TextMonitorFactory makeTextMonitor;

    BackendEndpoints endpoints;
    // None: the configuration's default place.
    std::optional<std::filesystem::path> configFile;
    // None: built here on libcurl (the shared one; the sign-in one with 10 s limits).
    std::shared_ptr<HTTPClient> httpClient;
    std::shared_ptr<HTTPClient> authHttpClient;

    CoordinatorTimings timings;
};

} // namespace pennial
