#include "platform/linux/storage/libsecret_store.hpp"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <libsecret/secret.h>

using namespace pennial;
using namespace std::chrono_literals;

namespace {

GVariant* callSecretService(const char* path, const char* interface, const char* method,
                            GVariant* arguments) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    EXPECT_EQ(error, nullptr);
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.secrets", path, interface,
                                                  method, arguments, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    g_object_unref(bus);
    return reply;
}

void lockDefaultKeyring() {
    GVariant* reply = callSecretService(
        "/org/freedesktop/secrets", "org.freedesktop.Secret.Service", "Lock",
        g_variant_new_parsed("([@o '/org/freedesktop/secrets/aliases/default'],)"));
    g_variant_unref(reply);
}

// Unlocks with the password the session script gave the keyring, without a prompt. The daemon's
// own interface for this wants the password inside a plain transfer session of this connection.
void unlockDefaultKeyring() {
    const char* password = std::getenv("PENNIAL_KEYRING_PASSWORD");
    ASSERT_NE(password, nullptr) << "run inside scripts/desktop-session";
    GVariant* opened =
        callSecretService("/org/freedesktop/secrets", "org.freedesktop.Secret.Service",
                          "OpenSession", g_variant_new("(sv)", "plain", g_variant_new_string("")));
    const char* session = nullptr;
    GVariant* ignored = nullptr;
    g_variant_get(opened, "(v&o)", &ignored, &session);
    GVariant* secret = g_variant_new(
        "(o@ay@ays)", session, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, "", 0, 1),
        g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, password, std::strlen(password), 1),
        "text/plain");
    GVariant* reply = callSecretService(
        "/org/freedesktop/secrets", "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface",
        "UnlockWithMasterPassword",
        g_variant_new("(o@(oayays))", "/org/freedesktop/secrets/collection/login", secret));
    if (reply)
        g_variant_unref(reply);
    g_variant_unref(ignored);
    g_variant_unref(opened);
}

// Each test works under a service of its own, so tests never see each other's items.
class LibsecretStoreTest : public ::testing::Test {
protected:
    std::string service = std::string("com.pennial.test.") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    LibsecretStore store;
};

} // namespace

TEST_F(LibsecretStoreTest, WritesReadsAndRemovesAnItem) {
    EXPECT_EQ(store.read(service, "session").status, SecretStatus::itemNotFound);
    EXPECT_EQ(store.remove(service, "session").status, SecretStatus::itemNotFound);

    std::string bytes("{\"a\":1}\0\xff tail", 14);
    ASSERT_EQ(store.write(service, "session", bytes).status, SecretStatus::success);
    auto read = store.read(service, "session");
    EXPECT_EQ(read.status, SecretStatus::success);
    EXPECT_EQ(read.data, bytes) << "stored byte for byte";

    EXPECT_EQ(store.remove(service, "session").status, SecretStatus::success);
    EXPECT_EQ(store.read(service, "session").status, SecretStatus::itemNotFound);
}

TEST_F(LibsecretStoreTest, AWriteReplacesTheItemInPlace) {
    ASSERT_EQ(store.write(service, "session", "one").status, SecretStatus::success);
    ASSERT_EQ(store.write(service, "session", "two").status, SecretStatus::success);
    EXPECT_EQ(store.read(service, "session").data, "two");

    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, (gpointer) "service", (gpointer)service.c_str());
    GError* error = nullptr;
    GList* items = secret_service_search_sync(nullptr, nullptr, attributes, SECRET_SEARCH_ALL,
                                              nullptr, &error);
    ASSERT_EQ(error, nullptr);
    EXPECT_EQ(g_list_length(items), 1u);
    g_list_free_full(items, g_object_unref);
    g_hash_table_unref(attributes);
}

TEST_F(LibsecretStoreTest, ItemsAreKeptApartByServiceAndAccount) {
    ASSERT_EQ(store.write(service, "session", "mine").status, SecretStatus::success);
    ASSERT_EQ(store.write(service + ".other", "session", "theirs").status, SecretStatus::success);
    ASSERT_EQ(store.write(service, "other", "second").status, SecretStatus::success);
    EXPECT_EQ(store.remove(service + ".other", "session").status, SecretStatus::success);
    EXPECT_EQ(store.read(service, "session").data, "mine");
    EXPECT_EQ(store.read(service, "other").data, "second");
}

TEST_F(LibsecretStoreTest, ACallThatOutlivesItsTimeOutIsAbandoned) {
    ASSERT_EQ(store.write(service, "session", "kept").status, SecretStatus::success);
    LibsecretStore impatient(0ms);
    EXPECT_EQ(impatient.read(service, "session").status, SecretStatus::interactionNotAllowed);
    const auto late = impatient.write(service, "session", "late");
    EXPECT_EQ(late.status, SecretStatus::interactionNotAllowed);
    EXPECT_NE(late.error.find("did not answer"), std::string::npos) << late.error;
    EXPECT_EQ(store.read(service, "session").status, SecretStatus::success);
}

TEST_F(LibsecretStoreTest, ALockedKeyringIsAFailureNotAnEmptyKeyring) {
    ASSERT_EQ(store.write(service, "session", "kept").status, SecretStatus::success);
    lockDefaultKeyring();

    // Nobody can answer an unlock prompt here: the store must say so rather than wait.
    LibsecretStore bounded(2s);
    auto start = std::chrono::steady_clock::now();
    const auto read = bounded.read(service, "session");
    EXPECT_EQ(read.status, SecretStatus::interactionNotAllowed);
    // Named as the Secret Service names it, for the log and the user.
    EXPECT_FALSE(read.error.empty());
    EXPECT_NE(bounded.write(service, "session", "new").status, SecretStatus::success);
    EXPECT_EQ(bounded.remove(service, "session").status, SecretStatus::interactionNotAllowed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);

    unlockDefaultKeyring();
    EXPECT_EQ(store.read(service, "session").data, "kept");
}
