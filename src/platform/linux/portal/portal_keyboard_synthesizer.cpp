#include "platform/linux/portal/portal_keyboard_synthesizer.hpp"

#include "base/log.hpp"
#include "platform/linux/input/xkb_key_translator.hpp"

#include <algorithm>
#include <atomic>
#include <deque>
#include <gio/gio.h>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>
#include <utility>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace pennial {

namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* remoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr std::uint32_t keyboardDevice = 1;
constexpr std::uint32_t persistUntilRevoked = 2;
// Where the restore token is kept in the keyring.
constexpr const char* tokenService = "com.pennial.Pennial.desktop";
constexpr const char* tokenAccount = "remote-desktop-restore-token";

struct VariantDeleter {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
using Variant = std::unique_ptr<GVariant, VariantDeleter>;

struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorDeleter>;

std::string describe(const GError* error) {
    GError* copy = g_error_copy(error);
    g_dbus_error_strip_remote_error(copy);
    std::string message = copy->message ? copy->message : "";
    g_error_free(copy);
    return message;
}

guint milliseconds(std::chrono::milliseconds duration) {
    return static_cast<guint>(std::max<std::chrono::milliseconds::rep>(duration.count(), 1));
}

std::optional<std::string> stringResult(GVariant* results, const char* key) {
    const char* value = nullptr;
    if (g_variant_lookup(results, key, "&s", &value) ||
        g_variant_lookup(results, key, "&o", &value))
        return std::string(value);
    return std::nullopt;
}

} // namespace

struct PortalKeyboardSynthesizer::Session {
    // A request's end: the portal's Response, or why none came.
    struct Answer {
        enum class Outcome { granted, refused, failed, timedOut, stopped } outcome;
        Variant results;
        std::string error;
    };

    explicit Session(Options options)
        : options(std::move(options)), context(g_main_context_new()),
          cancellable(g_cancellable_new()) {}
    ~Session() {
        g_object_unref(cancellable);
        g_main_context_unref(context);
    }

    void run();
    bool connect();
    void askForKeyboard();
    Answer request(const char* method, GVariant* parameters, const std::string& token,
                   std::chrono::milliseconds timeout);
    void failed(const Answer& answer, const char* step);
    struct KeyPress {
        std::uint32_t key;
        bool keycode; // a device key code, else a keysym
        bool pressed;
    };
    void sendKey(KeyPress press);
    // The key where the user's layout has it; a keysym where no key of it types one unshifted.
    KeyPress press(std::uint32_t keysym, bool pressed) const {
        const auto code = keymap ? keymap->deviceCodeOf(keysym) : std::nullopt;
        return code ? KeyPress{*code, true, pressed} : KeyPress{keysym, false, pressed};
    }
    std::string nextToken() {
        return "pennial_" + std::to_string(::getpid()) + "_" + std::to_string(++tokens);
    }
    void wake() { g_main_context_wakeup(context); }

    Options options;
    GMainContext* context;
    GCancellable* cancellable;
    GDBusConnection* connection = nullptr;
    std::atomic<State> state{State::idle};
    std::atomic<bool> stopping{false};
    std::atomic<bool> keyRefusalLogged{false};
    std::string handle; // the portal session's object path while one is open
    guint closedSubscription = 0;
    unsigned tokens = 0;

    std::mutex mutex; // guards what the callers hand to the thread
    bool askRequested = false;
    std::deque<KeyPress> keys;
    // Keys go as key codes where the layout has them: a keysym sent alone is typed with the
    // modifiers its level needs, which drops the Control held for a shortcut.
    std::unique_ptr<XkbKeyTranslator> keymap = XkbKeyTranslator::fromEnvironment();

    std::thread thread;
};

PortalKeyboardSynthesizer::PortalKeyboardSynthesizer(Options options)
    : session_(std::make_shared<Session>(std::move(options))) {
    session_->thread = std::thread([session = session_.get()] { session->run(); });
}

PortalKeyboardSynthesizer::~PortalKeyboardSynthesizer() {
    session_->stopping = true;
    g_cancellable_cancel(session_->cancellable);
    session_->wake();
    session_->thread.join();
}

void PortalKeyboardSynthesizer::prepare() {
    const auto now = state();
    if (now == State::asking || now == State::granted)
        return;
    session_->state = State::asking;
    {
        std::lock_guard lock(session_->mutex);
        session_->askRequested = true;
    }
    session_->wake();
}

PortalKeyboardSynthesizer::State PortalKeyboardSynthesizer::state() const {
    return session_->state.load();
}

void PortalKeyboardSynthesizer::key(std::uint32_t keysym, bool pressed) {
    if (!ready())
        return;
    {
        std::lock_guard lock(session_->mutex);
        session_->keys.push_back(session_->press(keysym, pressed));
    }
    session_->wake();
}

void PortalKeyboardSynthesizer::post(Shortcut shortcut) {
    // The compositor merges this keyboard's modifiers with the user's: keys the user still holds
    // cannot be released from here.
    const bool extend = shortcut == Shortcut::extendSelection;
    const std::uint32_t modifier = extend ? XKB_KEY_Shift_L : XKB_KEY_Control_L;
    const std::uint32_t letter = extend                            ? XKB_KEY_Right
                                 : shortcut == Shortcut::selectAll ? XKB_KEY_a
                                                                   : XKB_KEY_v;
    if (!ready())
        return;
    {
        std::lock_guard lock(session_->mutex);
        for (auto [keysym, pressed] : {std::pair{modifier, true}, std::pair{letter, true},
                                       std::pair{letter, false}, std::pair{modifier, false}})
            session_->keys.push_back(session_->press(keysym, pressed));
    }
    session_->wake();
}

void PortalKeyboardSynthesizer::Session::run() {
    g_main_context_push_thread_default(context);
    while (!stopping) {
        bool ask = false;
        std::deque<KeyPress> sending;
        {
            std::lock_guard lock(mutex);
            ask = std::exchange(askRequested, false);
            sending.swap(keys);
        }
        if (ask)
            askForKeyboard();
        for (const auto& press : sending)
            sendKey(press);
        if (!ask && sending.empty())
            g_main_context_iteration(context, TRUE);
    }
    // The portal ends the session of a peer that leaves the bus.
    if (connection) {
        if (closedSubscription)
            g_dbus_connection_signal_unsubscribe(connection, closedSubscription);
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
    }
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_pop_thread_default(context);
}

bool PortalKeyboardSynthesizer::Session::connect() {
    GError* raw = nullptr;
    gchar* address = options.busAddress.empty()
                         ? g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, cancellable, &raw)
                         : g_strdup(options.busAddress.c_str());
    if (address)
        connection = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, cancellable, &raw);
    g_free(address);
    Error error(raw);
    if (!connection && !stopping)
        logf("⚠️ [Platform] The session bus cannot be reached ({}): shortcuts cannot be "
             "synthesised",
             describe(error.get()));
    return connection != nullptr;
}

PortalKeyboardSynthesizer::Session::Answer
PortalKeyboardSynthesizer::Session::request(const char* method, GVariant* parameters,
                                            const std::string& token,
                                            std::chrono::milliseconds timeout) {
    // The answer may come before the call's reply names the request: it is watched for first,
    // at the path the portal makes from our name and the token.
    struct Pending {
        std::string expected;
        std::string named;
        std::optional<guint32> code;
        Variant results;
    } pending;
    std::string sender = g_dbus_connection_get_unique_name(connection);
    sender.erase(0, 1);
    std::replace(sender.begin(), sender.end(), '.', '_');
    pending.expected = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
    auto onResponse = [](GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                         const gchar*, GVariant* parameters, gpointer data) {
        auto* pending = static_cast<Pending*>(data);
        if (pending->code || (pending->expected != path && pending->named != path) ||
            !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})")))
            return;
        guint32 code = 0;
        GVariant* results = nullptr;
        g_variant_get(parameters, "(u@a{sv})", &code, &results);
        pending->code = code;
        pending->results.reset(results);
    };
    const guint subscription = g_dbus_connection_signal_subscribe(
        connection, portalName, "org.freedesktop.portal.Request", "Response", nullptr, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, onResponse, &pending, nullptr);
    struct Unsubscribe {
        GDBusConnection* connection;
        guint id;
        ~Unsubscribe() { g_dbus_connection_signal_unsubscribe(connection, id); }
    } unsubscribe{connection, subscription};

    GError* raw = nullptr;
    Variant reply(g_dbus_connection_call_sync(
        connection, portalName, portalPath, remoteDesktop, method, parameters,
        G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE,
        static_cast<gint>(milliseconds(options.timeouts.call)), cancellable, &raw));
    Error error(raw);
    if (stopping)
        return {Answer::Outcome::stopped, nullptr, {}};
    if (!reply)
        return {Answer::Outcome::failed, nullptr, describe(error.get())};
    const char* named = nullptr;
    g_variant_get(reply.get(), "(&o)", &named);
    pending.named = named;

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pending.code && !stopping) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        // Wakes the wait at the deadline.
        GSource* timer = g_timeout_source_new(milliseconds(left));
        g_source_set_callback(
            timer, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(timer, context);
        g_main_context_iteration(context, TRUE);
        g_source_destroy(timer);
        g_source_unref(timer);
    }
    if (stopping)
        return {Answer::Outcome::stopped, nullptr, {}};
    if (!pending.code) {
        // A dialog left open is taken down: its answer would come to nobody.
        g_dbus_connection_call(connection, portalName, pending.named.c_str(),
                               "org.freedesktop.portal.Request", "Close", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        return {Answer::Outcome::timedOut, nullptr, {}};
    }
    // 1: the user said no; 2: the desktop could not.
    const auto outcome = *pending.code == 0   ? Answer::Outcome::granted
                         : *pending.code == 1 ? Answer::Outcome::refused
                                              : Answer::Outcome::failed;
    return {outcome, std::move(pending.results), "the desktop ended the request"};
}

void PortalKeyboardSynthesizer::Session::failed(const Answer& answer, const char* step) {
    if (!handle.empty()) {
        g_dbus_connection_call(connection, portalName, handle.c_str(),
                               "org.freedesktop.portal.Session", "Close", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        g_dbus_connection_signal_unsubscribe(connection, closedSubscription);
        closedSubscription = 0;
        handle.clear();
    }
    // Each line is written before the state it explains is set: whoever sees the state (another
    // thread) finds the line already there.
    switch (answer.outcome) {
    case Answer::Outcome::refused:
        logLine("❌ [Platform] The desktop's keyboard was not granted (its remote interaction "
                "dialog was declined): keyboard pastes are unavailable");
        state = State::refused;
        return;
    case Answer::Outcome::timedOut:
        logf("❌ [Platform] The desktop did not answer for its keyboard in time ({}): keyboard "
             "pastes are unavailable",
             step);
        state = State::unavailable;
        return;
    case Answer::Outcome::stopped:
        state = State::unavailable;
        return;
    case Answer::Outcome::failed:
    case Answer::Outcome::granted:
        break;
    }
    logf("❌ [Platform] The desktop could not lend its keyboard ({}: {}): keyboard pastes are "
         "unavailable",
         step, answer.error);
    state = State::unavailable;
}

void PortalKeyboardSynthesizer::Session::askForKeyboard() {
    logLine("🔵 [Platform] Asking the desktop for its keyboard (remote desktop portal)");
    if (!connection && !connect()) {
        state = State::unavailable;
        return;
    }
    GError* raw = nullptr;
    Variant version(g_dbus_connection_call_sync(
        connection, portalName, portalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", remoteDesktop, "version"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, static_cast<gint>(milliseconds(options.timeouts.call)), cancellable,
        &raw));
    Error error(raw);
    if (!version) {
        if (!stopping)
            logf(
                "⚠️ [Platform] The desktop has no remote desktop portal ({}): shortcuts cannot "
                "be synthesised",
                describe(error.get()));
        state = State::unavailable;
        return;
    }
    Variant inner(g_variant_get_child_value(version.get(), 0));
    Variant number(g_variant_get_variant(inner.get()));
    const auto portalVersion = g_variant_is_of_type(number.get(), G_VARIANT_TYPE_UINT32)
                                   ? g_variant_get_uint32(number.get())
                                   : 1u;

    GVariantBuilder options;
    auto token = nextToken();
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(nextToken().c_str()));
    auto created = request("CreateSession", g_variant_new("(a{sv})", &options), token,
                           this->options.timeouts.answer);
    auto session =
        created.results ? stringResult(created.results.get(), "session_handle") : std::nullopt;
    if (created.outcome != Answer::Outcome::granted || !session ||
        !g_variant_is_object_path(session->c_str())) {
        if (created.outcome == Answer::Outcome::granted)
            created = {Answer::Outcome::failed, nullptr, "no session"};
        failed(created, "CreateSession");
        return;
    }
    handle = *session;
    if (closedSubscription) // the watch on a session closed earlier
        g_dbus_connection_signal_unsubscribe(connection, closedSubscription);
    closedSubscription = g_dbus_connection_signal_subscribe(
        connection, portalName, "org.freedesktop.portal.Session", "Closed", handle.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
           gpointer data) {
            auto* self = static_cast<Session*>(data);
            self->handle.clear();
            logLine("⚠️ [Platform] The desktop took its keyboard back: keyboard pastes are "
                    "unavailable until monitoring starts again");
            self->state = State::closed;
        },
        this, nullptr);

    // A version 1 portal knows no restore token: its dialog comes back once per session.
    std::string restoreToken;
    if (portalVersion >= 2 && this->options.secrets) {
        auto kept = this->options.secrets->read(tokenService, tokenAccount);
        if (kept.status == SecretStatus::success)
            restoreToken = kept.data;
    }
    token = nextToken();
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&options, "{sv}", "types", g_variant_new_uint32(keyboardDevice));
    if (portalVersion >= 2) {
        g_variant_builder_add(&options, "{sv}", "persist_mode",
                              g_variant_new_uint32(persistUntilRevoked));
        if (!restoreToken.empty())
            g_variant_builder_add(&options, "{sv}", "restore_token",
                                  g_variant_new_string(restoreToken.c_str()));
    }
    auto selected = request("SelectDevices", g_variant_new("(oa{sv})", handle.c_str(), &options),
                            token, this->options.timeouts.answer);
    if (selected.outcome != Answer::Outcome::granted) {
        failed(selected, "SelectDevices");
        return;
    }

    token = nextToken();
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    auto started = request("Start", g_variant_new("(osa{sv})", handle.c_str(), "", &options), token,
                           this->options.timeouts.consent);
    guint32 devices = 0;
    if (started.outcome == Answer::Outcome::granted &&
        !(g_variant_lookup(started.results.get(), "devices", "u", &devices) &&
          (devices & keyboardDevice) != 0))
        started.outcome = Answer::Outcome::refused; // granted, but not the keyboard
    if (started.outcome != Answer::Outcome::granted || handle.empty()) {
        if (handle.empty() && started.outcome == Answer::Outcome::granted)
            started = {Answer::Outcome::failed, nullptr, "the session was closed"};
        failed(started, "Start");
        return;
    }
    if (auto kept = stringResult(started.results.get(), "restore_token");
        kept && portalVersion >= 2 && this->options.secrets) {
        auto saved = this->options.secrets->write(tokenService, tokenAccount, *kept);
        if (saved.status != SecretStatus::success)
            logf("⚠️ [Platform] The desktop's keyboard permission could not be kept in the "
                 "keyring ({}): it will be asked for again",
                 saved.status);
    }
    keyRefusalLogged = false;
    logLine("✅ [Platform] The desktop granted its keyboard: shortcuts go through the remote "
            "desktop portal");
    state = State::granted;
}

void PortalKeyboardSynthesizer::Session::sendKey(KeyPress press) {
    if (handle.empty())
        return;
    // Each key waits for the portal's answer before the next goes: sent without waiting, a
    // Control+V left the V held in a browser on KDE, which then typed it over and over. The one
    // place keys leave: where the portal offers an input socket of its own (ConnectToEIS), keys
    // would go through it from here.
    GVariantBuilder none;
    g_variant_builder_init(&none, G_VARIANT_TYPE_VARDICT);
    GError* raw = nullptr;
    if (GVariant* reply = g_dbus_connection_call_sync(
            connection, portalName, portalPath, remoteDesktop,
            press.keycode ? "NotifyKeyboardKeycode" : "NotifyKeyboardKeysym",
            g_variant_new("(oa{sv}iu)", handle.c_str(), &none, static_cast<gint32>(press.key),
                          press.pressed ? 1u : 0u),
            nullptr, G_DBUS_CALL_FLAGS_NONE, static_cast<gint>(milliseconds(options.timeouts.call)),
            cancellable, &raw))
        g_variant_unref(reply);
    Error error(raw);
    if (!error || g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return;
    if (!keyRefusalLogged.exchange(true))
        logf("❌ [Platform] The desktop refused a synthesised key: {}", describe(error.get()));
}

} // namespace pennial
