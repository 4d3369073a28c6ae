#pragma once
// The one object that owns every service, monitor, overlay and window for the life of the process
// and runs the application: start-up, monitoring on and off, the permission watch, the trigger
// pipeline and its write-back, remote sync and sign-out, and onboarding. Lives on the main
// executor: every member is used there only.

#include "app/change_signal.hpp"
#include "app/coordinator_dependencies.hpp"
#include "app/coordinator_state.hpp"
#include "app/onboarding_decision.hpp"
#include "app/palette_key_controller.hpp"
#include "app/sync_ledger.hpp"
#include "app/template_suggestion.hpp"
#include "app/update_service.hpp"
#include "app/write_back.hpp"
#include "base/task.hpp"
#include "platform/subscription.hpp"
#include "services/app_config.hpp"
#include "services/async_mutex.hpp"
#include "text/command.hpp"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

class AccessibilityMonitor;
class AuthService;
class ClipboardLoan;
class HeldUserKeys;
class AXAccessibilityProvider;
class ConfigService;
class ConfigStorage;
class ContextStrategyRouter;
class CoordinatorDelegate;
class KeychainStore;
struct OnboardingSignIn;
class SupabaseStore;
class TransformService;

class AppCoordinator : public std::enable_shared_from_this<AppCoordinator> {
    struct Token {};

public:
    // The user-defaults key of the marker for a command list saved here but not yet pushed.
    static constexpr const char* hasUnpushedLocalCommandsKey =
        SyncLedger::hasUnpushedLocalCommandsKey;
    static constexpr const char* spinnerDesignModeVariable = "PENNIAL_SPINNER_DESIGN_MODE";

    // Builds everything, then starts the start-up task on the main executor.
    static std::shared_ptr<AppCoordinator> create(CoordinatorDependencies dependencies);

    AppCoordinator(Token, CoordinatorDependencies dependencies);
    ~AppCoordinator();
    // Puts back the user's clipboard that a keyboard paste in progress has lent: before the
    // application quits, with the paste's wait left unfinished.
    void returnLentClipboard();
    AppCoordinator(const AppCoordinator&) = delete;
    AppCoordinator& operator=(const AppCoordinator&) = delete;

    // --- Published state: announced through changed(), as are the update service's flags.
    const CoordinatorState& state() const { return state_.get(); }
    bool isMonitoring() const { return state_->isMonitoring; }
    bool hasPermissions() const { return state_->hasPermissions; }
    bool isAuthenticated() const { return state_->isAuthenticated; }
    const std::string& statusMessage() const { return state_->statusMessage; }
    const std::optional<std::string>& lastError() const { return state_->lastError; }
    const std::optional<std::string>& permissionAdvice() const { return state_->permissionAdvice; }
    const std::optional<std::string>& signInNotice() const { return state_->signInNotice; }
    ChangeSignal& changed() { return changed_; }

    const std::optional<std::string>& userEmail() const { return userEmail_; }
    // False only when signed in, trusted and through every onboarding step.
    bool requiresOnboarding() const;
    int initialSettingsTab() const { return initialSettingsTab_; }

    // --- What the windows reach through the coordinator.
    const std::shared_ptr<ConfigService>& configService() const { return configService_; }
    const std::shared_ptr<AccessibilityMonitor>& accessibilityMonitor() const {
        return accessibilityMonitor_;
    }
    const std::shared_ptr<TextMonitorControl>& textMonitor() const { return textMonitor_; }
    const std::shared_ptr<AuthService>& authService() const { return authService_; }
    const std::shared_ptr<SupabaseStore>& supabaseStore() const { return supabaseStore_; }
    // Where the windows open addresses in the user's browser.
    const std::shared_ptr<Workspace>& workspace() const { return workspace_; }
    UpdateService& updateService() { return *updateService_; }
    // The executor the windows run their awaited work on.
    const Executor& mainExecutor() const { return main_; }

    // --- Operations.
    Awaitable<void> startMonitoring();
    Awaitable<void> stopMonitoring();
    Awaitable<void> requestPermissions();
    // True when neither pull failed and the local apply succeeded.
    Awaitable<bool> pullRemoteData();
    Awaitable<void> signOut();
    // A settings edit of the commands or the profile is about to be stored: from now on no pull
    // overwrites it, and it stays marked as not pushed until a push carries it.
    void noteLocalCommandsEdit() { syncLedger_->noteCommandsEdit(); }
    // Changes whenever the local data starts over for another owner (sign-out, another
    // account): what a window loaded before is someone else's data.
    unsigned localDataGeneration() const { return syncLedger_->resets(); }
    void noteLocalProfileEdit() { syncLedger_->noteProfileEdit(); }
    // Pushes the command list or the profile as saved locally now, when it holds an edit the
    // cloud may lack. Answers whether the cloud holds it afterwards; until then the next pull
    // pushes it rather than overwriting it.
    Awaitable<bool> pushLocalCommands();
    Awaitable<bool> pushLocalProfile();
    void showSettings(int tab);
    void showAbout();
    // The way in when the tray cannot offer it (no tray on the desktop, a second launch): the
    // onboarding window while onboarding is unfinished, else the settings. Asked during start-up,
    // it waits for the start-up's end, whose outcome decides.
    void showMainWindow();
    // A transform was refused for lack of a session: signed out, monitoring off, sign-in shown.
    Awaitable<void> handleAuthExpired();

    // An info-level crash-reporting breadcrumb.
    static Breadcrumb breadcrumb(std::string category, std::string message);

    // Runs the operation in a main task of its own, started once the work now running on main has
    // yielded; the task keeps the coordinator alive until it ends.
    void launch(Awaitable<void> (AppCoordinator::*operation)());

    // The first step of quitting: stops monitoring, cancels every task of the coordinator and
    // waits (at most `limit`) for each to end, so that none resumes into what is destroyed next.
    Awaitable<void> shutdown(std::chrono::steady_clock::duration limit = std::chrono::seconds(2));

    // Whether the start-up task is still running.
    bool isStarting() const { return startupTask_.isRunning(); }

private:
    friend class CoordinatorDelegate;
    friend struct OnboardingSignIn;

    // A keyring locked or silent at start-up: asks again until it answers, then restores.
    Awaitable<void> restoreSessionOnceKeyringAnswers();
    // Tells the sign-in screen why the last load of the stored session found nothing, when the
    // keyring is why; clears that once it no longer is.
    Awaitable<void> noteUnreadableKeyring();

    // Construction, split so the start-up task can hold the coordinator strongly.
    void launchStartup();
    static Awaitable<void> runStartup(std::shared_ptr<AppCoordinator> self);

    // Start-up and monitoring.
    Awaitable<void> startupTask();
    Awaitable<void> start();
    void observeAppActivation();
    void startSpinnerDesignPreviewIfNeeded();
    static Awaitable<void> runDesignPreview(std::weak_ptr<AppCoordinator> weak,
                                            std::chrono::steady_clock::duration delay);

    // Permissions.
    void startPermissionMonitoring();
    // What the screen that asked says after a request for accessibility that did not turn it on.
    std::optional<std::string> permissionAdviceAfterRequest(bool trusted) const;
    static Awaitable<void> runPermissionPoll(std::weak_ptr<AppCoordinator> weak,
                                             std::chrono::steady_clock::duration interval);
    bool isProcessTrusted() const;

    // Windows.
    void presentMainWindow();

    // Sync: each runs holding syncAccess_, so pulls and pushes never overlap.
    Awaitable<bool> pullLocked();
    Awaitable<bool> pushLocalCommandsNow();
    Awaitable<bool> pushLocalProfileNow();
    Awaitable<std::optional<std::string>> signedInAccount();
    Awaitable<void> adoptLocalData(const std::string& account);
    Awaitable<bool> pushCommandsLocked(const std::string& account);
    Awaitable<bool> pushProfileLocked();
    void recordAgreement(const RemoteMerge& merge, unsigned commandEdits, unsigned profileEdits);
    // A first run signed out: the local data is nobody's, so what is edited before a sign-in
    // is merged as such rather than pushed over the account's cloud copy.
    void recordLocalDataOwnerIfUnknown();
    // The defaults a sign-out leaves behind.
    AppConfig signedOutConfiguration() const;

    // Onboarding.
    OnboardingInputs onboardingInputs() const;
    void refreshOnboardingPresentation();
    void showOnboardingStep(OnboardingStage stage, bool isReturningUser);
    OnboardingCallbacks callbacksFor(OnboardingStage stage);
    void coupleSignInWithNotchPanel();
    void uncoupleSignInFromNotchPanel();
    void showNotchPasscodePanelIfNeeded();
    void finishOnboarding();
    void setFlag(const char* key);
    void setHasCompletedPlaygroundOnboarding(bool value);
    VerifyCodeHandler verifyCodeHandler();
    std::function<void()> signInCompleteHandler();
    void disallowOwnProcessInputMonitoring();

    // The trigger road: from a reported trigger to the result in the field.
    struct TriggerRun;
    Awaitable<void> handleTrigger(std::string commandName, std::string fullPattern,
                                  std::optional<long long> triggerOffset);
    bool shouldSuppressTriggerInOwnUI();
    Awaitable<void> runTrigger(TriggerRun& run);
    Awaitable<void> processTrigger(TriggerRun& run);
    Awaitable<void> finishWithError(TriggerRun& run, std::exception_ptr error);
    Awaitable<void> finishWithoutTrigger(TriggerRun& run);

    // Write-back: the four methods in turn, the first that writes the field wins; throws the
    // last one's error.
    Awaitable<WriteMethod> writeBack(WriteBackRequest request);
    // A result that changes the text in several places, in a field whose formatting lives between
    // its characters, is written a place at a time (range replacement, else a targeted paste), so
    // that what lies between keeps its formatting. None when it is not so written, or not wholly:
    // request then holds what is left to write.
    Awaitable<std::optional<WriteMethod>> writeInRuns(WriteBackRequest& request);
    Awaitable<bool> isRichText(AccessibleElement element);
    // The four methods in turn, until one has written the field or the field tells to stop.
    Awaitable<WriteMethod> writeByFirstMethod(const WriteBackRequest& request);
    // A field that kept only the start of the result gets the user's text back (by the same
    // methods); the result goes on the clipboard. Throws FieldNotRestoredError when the text
    // does not come back.
    Awaitable<void> putBackCutShort(const WriteBackRequest& request);
    Awaitable<void> pasteViaKeyboardTargeted(std::string text, AXRange range,
                                             WriteBackRequest request);
    Awaitable<void> pasteViaKeyboard(std::string text, AXRange selectingRange,
                                     WriteBackRequest request);
    // The selection a keyboard paste goes over (UTF-16) and the user's caret before it was made.
    struct PasteSelection {
        AXRange range;
        std::optional<std::int64_t> caretBefore;
        bool singleLine = false; // the field is one line (read before the selection is made)
        AXRange pasted;          // where the pasted text stands in the field once it landed
    };
    // Control+V over the selection made for it, then the field watched until the paste shows;
    // the user's keys, held since the selection, follow once the paste is judged.
    Awaitable<void> pasteOverSelection(const WriteBackRequest& request, ClipboardLoan& loan,
                                       HeldUserKeys& held, PasteSelection selection,
                                       const char* restoredLine);
    // Until the clipboard has been lent its time since pastedAt: an application may fetch it well
    // after the paste key.
    Awaitable<void> runOutLoan(ClipboardLoan& loan, std::chrono::steady_clock::time_point pastedAt);
    // Where the user's edit came between the check and the paste (now is the field after it),
    // the user's text goes back in, pasted the same way. False when the field shows no such
    // edit.
    Awaitable<bool> repairAroundPaste(const WriteBackRequest& request, ClipboardLoan& loan,
                                      PasteSelection selection, std::string now,
                                      std::string pasted);
    // A paste given up leaves no selection of its own standing for the user's keys: the caret
    // goes to where they are typing (now is the field as last read).
    Awaitable<void> dropPasteSelection(const WriteBackRequest& request, ClipboardLoan& loan,
                                       PasteSelection selection, std::string now);
    Awaitable<std::optional<AXRange>> selectedRange(AccessibleElement element);
    // Selects range with Shift+Right from its start; false (and no selection left) when the field
    // does not show it selected.
    Awaitable<bool> selectByKeys(AXRange range, const WriteBackRequest& request);
    Awaitable<std::optional<std::int64_t>> caretOffset(AccessibleElement element);
    // Whether the field took the caret.
    Awaitable<bool> placeCaret(AccessibleElement element, std::int64_t offset);
    // Where a write-back ends early: the user's edit, or a field that could not be brought back.
    void endWriteBackIfFinal(std::exception_ptr failure, const WriteBackRequest& request);
    // Whether keys sent now would reach that element of that process.
    Awaitable<bool> hasFocus(AccessibleElement element);
    Awaitable<void> requireFocus(AccessibleElement element);
    // Throws KeyboardPasteError::unavailable where no keyboard paste can be made into the element
    // (no keys, no clipboard, or one the application would not paste from).
    Awaitable<void> requireKeyboardPaste(AccessibleElement element);
    Awaitable<void> handleError(std::exception_ptr error);

    // The command palette: rows that follow the typing, and the keys that drive them.
    Awaitable<void> handleTriggerQueryUpdate(std::optional<std::string> fullPattern,
                                             std::string query,
                                             std::optional<long long> triggerOffset,
                                             bool hasTextBeforeTrigger);
    void refreshPalette();
    Awaitable<void> refreshPaletteTask(std::string fullPattern);
    // Whether the palette that the update or refresh for fullPattern set out to show is still
    // wanted once it has the caret: not if it was closed or a command started meanwhile.
    bool isPaletteStillFor(const std::string& fullPattern) const;
    void showPalette(std::optional<Point> caret);
    SpinnerOverlay::SelectHandler rowSelectionHandler(std::string fullPattern);
    Awaitable<std::optional<Point>> caretScreenPosition();
    void cancelPaletteOnAppSwitch();
    void clearPaletteState();
    void startPaletteKeyboardControl();
    void stopPaletteKeyControl();
    void handlePaletteKeyCode(PaletteKey key);
    // Which palette keys are taken from the application: those the palette would act on now.
    void updateWantedPaletteKeys();
    // A trigger is on its way to the main thread: from now on the palette's keys are the
    // application's (the palette closes once it runs). Any thread.
    void givePaletteKeysBack();
    // Runs body in a main task of its own that keeps the coordinator alive until it ends.
    void startPaletteTask(Awaitable<void> body);
    Awaitable<void> completeTriggerWithSelectedCommand(std::string commandName);
    // Where the palette's keys can be neither taken nor seen: the palette follows the field and
    // closes once the user goes on without it; a line on it says how it is used here.
    bool arePaletteKeysUnseen() const;
    void followPaletteField();
    struct PaletteFieldLooks {
        std::uint64_t session = 0;
        std::optional<AccessibleElement> field; // the palette's, from the first look
        // The palette state the user was last seen gone on from; a look at another one does not
        // count towards closing.
        std::optional<std::pair<std::string, std::optional<long long>>> goneOnFrom;
    };
    // Looks while the palette stays open, holding the coordinator only while it looks.
    static Awaitable<void> watchPaletteField(std::weak_ptr<AppCoordinator> weak,
                                             std::uint64_t session,
                                             std::chrono::steady_clock::duration interval);
    // False once the palette is closed, by the look or otherwise.
    Awaitable<bool> lookAtPaletteField(PaletteFieldLooks& looks);
    std::string paletteNote() const;

    // Small helpers.
    template <class Change> void publish(Change&& change) { state_.update(change); }
    void addStartBreadcrumb(std::string message);
    // Starts body in a main task of its own once the work now running on main has yielded, as a
    // task started from the main thread does.
    Task startTask(Awaitable<void> body);
    void hideOverlayUnlessPreviewing();

    // --- Given.
    Executor main_;
    std::shared_ptr<Accessibility> accessibility_;
    std::shared_ptr<Workspace> workspace_;
    std::shared_ptr<Screens> screens_;
    std::shared_ptr<UserDefaults> userDefaults_;
    std::shared_ptr<CrashReporter> crashReporter_;
    std::shared_ptr<MoveToApplications> moveToApplications_;
    std::function<bool()> accessibilityBusReachable_;
    std::shared_ptr<CardWindowFactory> cardWindows_;
    std::shared_ptr<WindowFocus> windowFocus_;
    std::shared_ptr<Clipboard> clipboard_;
    std::shared_ptr<KeyboardSynthesizer> keyboardSynthesizer_;
    std::function<bool(Pid)> clipboardReachesPastes_;
    BackendEndpoints endpoints_;
    CoordinatorTimings timings_;

    // --- Owned, in the order they are built.
    std::unique_ptr<UpdateService> updateService_;
    std::shared_ptr<OnboardingWindowController> onboardingWindow_;
    std::shared_ptr<NotchPasscodePanel> notchPasscodePanel_;
    std::unique_ptr<GlassCardWindowController> settingsWindow_;
    int initialSettingsTab_ = 0;
    std::unique_ptr<GlassCardWindowController> aboutWindow_;
    bool showMainWindowAfterStartup_ = false;
    bool spinnerDesignModeAlwaysOn_ = false;
    std::shared_ptr<CoordinatorDelegate> delegate_;
    Task permissionCheckTask_;
    Task spinnerDesignTask_;
    Subscription appActivationObserver_;
    bool isTransformInProgress_ = false;
    std::optional<std::chrono::steady_clock::time_point> lastTransformTime_;
    std::chrono::steady_clock::duration transformCooldown_ = std::chrono::milliseconds(1500);
    std::optional<std::string> activeTriggerFullPattern_;
    std::string activeTriggerQuery_;
    std::optional<long long> activeTriggerOffset_;
    std::vector<TemplateSuggestion> activeSuggestions_;
    int selectedSuggestionIndex_ = 0;
    std::uint64_t paletteSession_ = 0; // counts the palettes opened
    std::optional<std::uint64_t> watchedPaletteSession_;
    // Set once at construction: read from the monitor's thread too.
    std::shared_ptr<PaletteKeyInterceptor> paletteKeyInterceptor_;
    std::optional<PaletteKeyController> paletteKeyController_; // made on first use
    Observable<CoordinatorState> state_;
    std::optional<std::string> userEmail_;

    std::shared_ptr<HTTPClient> httpClient_;     // transform, telemetry, sync
    std::shared_ptr<HTTPClient> authHttpClient_; // sign-in only, 10 s limits
    std::shared_ptr<ConfigStorage> configStorage_;
    std::shared_ptr<ContextStrategyRouter> router_;
    std::shared_ptr<AXAccessibilityProvider> accessibilityProvider_;
    std::shared_ptr<ConfigService> configService_;
    std::shared_ptr<AccessibilityMonitor> accessibilityMonitor_;
    std::shared_ptr<KeychainStore> keychain_;
    std::shared_ptr<AuthService> authService_;
    std::shared_ptr<TransformService> transformService_;
    std::shared_ptr<SupabaseStore> supabaseStore_;
    std::shared_ptr<SpinnerOverlay> spinner_;
    std::shared_ptr<TextMonitorControl> textMonitor_;
    std::unique_ptr<SyncLedger> syncLedger_;
    AsyncMutex syncAccess_;

    ChangeSignal changed_;
    ChangeSignal::Connection stateConnection_;
    ChangeSignal::Connection updateServiceConnection_;
    Task startupTask_;
    std::vector<Task> tasks_; // started by startTask, for shutdown to cancel and await
};

} // namespace pennial
