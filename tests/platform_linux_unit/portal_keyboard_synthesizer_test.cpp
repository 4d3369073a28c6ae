// The portal client against a fake desktop portal on a bus of the test's own: the keyboard granted,
// refused, never answered for, taken back, or not offered at all; the restore token where the
// portal's version knows one. Every failure ends in a clear state and log line, never a wait.

#include "base/log.hpp"
#include "platform/linux/portal/portal_keyboard_synthesizer.hpp"
#include "platform/sim/sim_secret_store.hpp"

#include <atomic>
#include <cstdlib>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>
#include <xkbcommon/xkbcommon-keysyms.h>

using namespace pennial;
using namespace std::chrono_literals;
using State = PortalKeyboardSynthesizer::State;

namespace {

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A session bus of its own, ended with the test; it starts no service of the system's.
class PrivateBus {
public:
    PrivateBus() : bus_(g_test_dbus_new(G_TEST_DBUS_NONE)) { g_test_dbus_up(bus_); }
    ~PrivateBus() {
        g_test_dbus_down(bus_);
        g_object_unref(bus_);
    }
    std::string address() const { return g_test_dbus_get_bus_address(bus_); }

private:
    GTestDBus* bus_;
};

constexpr const char* portalXml = R"(<node>
  <interface name="org.freedesktop.portal.RemoteDesktop">
    <method name="CreateSession"><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="SelectDevices"><arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="Start"><arg type="o" direction="in"/><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="NotifyKeyboardKeysym"><arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="in"/></method>
    <method name="NotifyKeyboardKeycode"><arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="in"/></method>
    <property name="version" type="u" access="read"/>
  </interface>
</node>)";

// The desktop portal as the client sees it, on a thread of its own. How it answers Start is set
// before the client asks.
class FakePortal {
public:
    enum class StartAnswer { grant, refuse, silent, grantWithoutKeyboard };

    FakePortal(const std::string& address, std::uint32_t version, StartAnswer answer)
        : version_(version), answer_(answer), context_(g_main_context_new()) {
        thread_ = std::thread([this, address] { run(address); });
        eventually([&] { return ready_.load(); });
    }
    ~FakePortal() {
        stopping_ = true;
        g_main_context_wakeup(context_);
        thread_.join();
        g_main_context_unref(context_);
    }

    // Each key as "<code or sym> <number> <1: pressed, 0: released>".
    std::vector<std::string> keys() {
        std::lock_guard lock(mutex_);
        return keys_;
    }
    // What SelectDevices was given, printed.
    std::string selectOptions() {
        std::lock_guard lock(mutex_);
        return selectOptions_;
    }
    void closeSession() {
        g_main_context_invoke(
            context_,
            [](gpointer data) {
                auto* self = static_cast<FakePortal*>(data);
                g_dbus_connection_emit_signal(self->connection_, nullptr, self->session_.c_str(),
                                              "org.freedesktop.portal.Session", "Closed",
                                              g_variant_new("(a{sv})", nullptr), nullptr);
                return G_SOURCE_REMOVE;
            },
            this);
    }

private:
    void run(const std::string& address) {
        g_main_context_push_thread_default(context_);
        connection_ = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(portalXml, nullptr);
        static const GDBusInterfaceVTable table = {
            &FakePortal::call, &FakePortal::property, nullptr, {}};
        g_dbus_connection_register_object(connection_, "/org/freedesktop/portal/desktop",
                                          node->interfaces[0], &table, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        Variant owned(g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.portal.Desktop", 0u), nullptr,
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr));
        ready_ = true;
        while (!stopping_)
            g_main_context_iteration(context_, TRUE);
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
        g_main_context_pop_thread_default(context_);
    }

    struct VariantDeleter {
        void operator()(GVariant* variant) const {
            if (variant)
                g_variant_unref(variant);
        }
    };
    using Variant = std::unique_ptr<GVariant, VariantDeleter>;

    static GVariant* property(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                              const gchar*, GError**, gpointer data) {
        return g_variant_new_uint32(static_cast<FakePortal*>(data)->version_);
    }

    // Answers the request named by the options' handle_token, as the portal does.
    void respond(const gchar* sender, GVariant* options, guint32 code, GVariant* results,
                 GDBusMethodInvocation* invocation) {
        const char* token = "t";
        g_variant_lookup(options, "handle_token", "&s", &token);
        std::string name = sender + 1;
        std::replace(name.begin(), name.end(), '.', '_');
        const auto path = "/org/freedesktop/portal/desktop/request/" + name + "/" + token;
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", path.c_str()));
        if (results)
            g_dbus_connection_emit_signal(connection_, sender, path.c_str(),
                                          "org.freedesktop.portal.Request", "Response",
                                          g_variant_new("(u@a{sv})", code, results), nullptr);
    }

    static void call(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                     const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                     gpointer data) {
        auto* self = static_cast<FakePortal*>(data);
        const std::string name = method;
        GVariantDict results;
        g_variant_dict_init(&results, nullptr);
        if (name == "CreateSession") {
            Variant options(g_variant_get_child_value(parameters, 0));
            const char* token = "s";
            g_variant_lookup(options.get(), "session_handle_token", "&s", &token);
            self->session_ = std::string("/org/freedesktop/portal/desktop/session/x/") + token;
            g_variant_dict_insert(&results, "session_handle", "s", self->session_.c_str());
            self->respond(sender, options.get(), 0, g_variant_dict_end(&results), invocation);
        } else if (name == "SelectDevices") {
            Variant options(g_variant_get_child_value(parameters, 1));
            {
                std::lock_guard lock(self->mutex_);
                gchar* printed = g_variant_print(options.get(), FALSE);
                self->selectOptions_ = printed;
                g_free(printed);
            }
            self->respond(sender, options.get(), 0, g_variant_dict_end(&results), invocation);
        } else if (name == "Start") {
            Variant options(g_variant_get_child_value(parameters, 2));
            const auto answer = self->answer_;
            g_variant_dict_insert(&results, "devices", "u",
                                  answer == StartAnswer::grantWithoutKeyboard ? 2u : 1u);
            g_variant_dict_insert(&results, "restore_token", "s", "token-from-portal");
            GVariant* sent = g_variant_dict_end(&results);
            if (answer == StartAnswer::silent) {
                g_variant_unref(g_variant_ref_sink(sent));
                sent = nullptr;
            }
            self->respond(sender, options.get(), answer == StartAnswer::refuse ? 1 : 0, sent,
                          invocation);
        } else {
            std::int32_t key = 0;
            std::uint32_t state = 0;
            g_variant_get(parameters, "(&o@a{sv}iu)", nullptr, nullptr, &key, &state);
            {
                std::lock_guard lock(self->mutex_);
                self->keys_.push_back((name == "NotifyKeyboardKeycode" ? "code " : "sym ") +
                                      std::to_string(key) + " " + std::to_string(state));
            }
            g_dbus_method_invocation_return_value(invocation, nullptr);
        }
    }

    std::uint32_t version_;
    StartAnswer answer_;
    GMainContext* context_;
    GDBusConnection* connection_ = nullptr;
    std::string session_;
    std::atomic<bool> ready_{false}, stopping_{false};
    std::mutex mutex_;
    std::vector<std::string> keys_;
    std::string selectOptions_;
    std::thread thread_;
};

class PortalKeyboard : public ::testing::Test {
protected:
    std::unique_ptr<PortalKeyboardSynthesizer> synthesizer() {
        PortalKeyboardSynthesizer::Options options;
        options.busAddress = bus.address();
        options.secrets = secrets;
        options.timeouts = {500ms, 500ms, 500ms};
        return std::make_unique<PortalKeyboardSynthesizer>(std::move(options));
    }
    // Asks, and waits for the answer.
    static State asked(PortalKeyboardSynthesizer& keyboard) {
        keyboard.prepare();
        eventually([&] { return keyboard.state() != State::asking; });
        return keyboard.state();
    }

    PrivateBus bus;
    std::shared_ptr<SimSecretStore> secrets = std::make_shared<SimSecretStore>();
    LogCapture log;
};

} // namespace

TEST_F(PortalKeyboard, AGrantedKeyboardSendsTheShortcutInOrderUntilTheDesktopTakesItBack) {
    ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start";
    FakePortal portal(bus.address(), 1, FakePortal::StartAnswer::grant);
    auto keyboard = synthesizer();
    EXPECT_FALSE(keyboard->ready()); // not asked for until monitoring starts
    ASSERT_EQ(asked(*keyboard), State::granted);
    keyboard->post(Shortcut::paste);
    keyboard->post(Shortcut::extendSelection);
    // The kernel's codes of Left Control, V, Left Shift and Right.
    const std::vector<std::string> expected = {"code 29 1",  "code 47 1", "code 47 0",
                                               "code 29 0",  "code 42 1", "code 106 1",
                                               "code 106 0", "code 42 0"};
    EXPECT_TRUE(eventually([&] { return portal.keys() == expected; }));
    // A version 1 portal keeps no permission: nothing is asked of it or kept.
    EXPECT_EQ(portal.selectOptions().find("persist_mode"), std::string::npos);
    EXPECT_EQ(secrets->read("com.pennial.Pennial.desktop", "remote-desktop-restore-token").status,
              SecretStatus::itemNotFound);

    portal.closeSession();
    EXPECT_TRUE(eventually([&] { return keyboard->state() == State::closed; }));
    EXPECT_TRUE(
        log.contains("⚠️ [Platform] The desktop took its keyboard back: keyboard pastes "
                     "are unavailable until monitoring starts again"));
    keyboard->post(Shortcut::paste);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(portal.keys().size(), expected.size());
    // Asked again when monitoring starts again.
    EXPECT_EQ(asked(*keyboard), State::granted);
}

TEST_F(PortalKeyboard, KeysGoWhereTheUsersLayoutHasThemAndOthersAsKeysyms) {
    FakePortal portal(bus.address(), 1, FakePortal::StartAnswer::grant);
    ::setenv("XKB_DEFAULT_LAYOUT", "fr", 1);
    auto keyboard = synthesizer();
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    ASSERT_EQ(asked(*keyboard), State::granted);
    keyboard->post(Shortcut::selectAll);
    keyboard->key(XKB_KEY_z, true);
    keyboard->key(XKB_KEY_Z, true);
    // On a French keyboard A is where Q is elsewhere (16), Z where W is (17); a key no layout
    // types unshifted goes as what it types.
    const std::vector<std::string> expected = {
        "code 29 1", "code 16 1", "code 16 0",
        "code 29 0", "code 17 1", "sym " + std::to_string(XKB_KEY_Z) + " 1"};
    EXPECT_TRUE(eventually([&] { return portal.keys() == expected; }));
}

TEST_F(PortalKeyboard, AVersion2PortalIsGivenBackTheTokenItGave) {
    FakePortal portal(bus.address(), 2, FakePortal::StartAnswer::grant);
    ASSERT_EQ(asked(*synthesizer()), State::granted);
    EXPECT_NE(portal.selectOptions().find("'persist_mode': <uint32 2>"), std::string::npos);
    EXPECT_EQ(portal.selectOptions().find("restore_token"), std::string::npos);
    EXPECT_EQ(secrets->read("com.pennial.Pennial.desktop", "remote-desktop-restore-token").data,
              "token-from-portal");

    ASSERT_EQ(asked(*synthesizer()), State::granted);
    EXPECT_NE(portal.selectOptions().find("'restore_token': <'token-from-portal'>"),
              std::string::npos);
    EXPECT_FALSE(log.contains("token-from-portal"));
}

TEST_F(PortalKeyboard, EveryWayOfNotLendingTheKeyboardEndsInAClearStateAndLine) {
    struct Case {
        std::optional<FakePortal::StartAnswer> answer; // none: no portal on the bus
        State state;
        const char* line;
    };
    const Case cases[] = {
        {FakePortal::StartAnswer::refuse, State::refused,
         "❌ [Platform] The desktop's keyboard was not granted (its remote interaction dialog was "
         "declined): keyboard pastes are unavailable"},
        {FakePortal::StartAnswer::grantWithoutKeyboard, State::refused,
         "❌ [Platform] The desktop's keyboard was not granted"},
        {FakePortal::StartAnswer::silent, State::unavailable,
         "❌ [Platform] The desktop did not answer for its keyboard in time (Start): keyboard "
         "pastes are unavailable"},
        {std::nullopt, State::unavailable,
         "⚠️ [Platform] The desktop has no remote desktop portal"},
    };
    for (const auto& each : cases) {
        log.clear();
        std::optional<FakePortal> portal;
        if (each.answer)
            portal.emplace(bus.address(), 1, *each.answer);
        const auto started = std::chrono::steady_clock::now();
        auto keyboard = synthesizer();
        EXPECT_EQ(asked(*keyboard), each.state) << each.line;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << each.line;
        EXPECT_FALSE(keyboard->ready());
        EXPECT_FALSE(log.matching(each.line).empty()) << each.line;
        keyboard->post(Shortcut::paste);
        keyboard.reset(); // no wait on the desktop
        if (portal)
            EXPECT_TRUE(portal->keys().empty()) << each.line;
    }
}
