#include "base/log.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "services/auth_error.hpp"
#include "services/keychain_store.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using Operation = SimSecretStore::Operation;

namespace {

class KeychainStoreTest : public ::testing::Test {
protected:
    std::int32_t statusOf(const std::function<void()>& operation) {
        try {
            operation();
        } catch (const AuthError& error) {
            EXPECT_EQ(error.kind(), AuthError::Kind::keychainError);
            return error.keychainStatus();
        }
        ADD_FAILURE() << "no AuthError";
        return 0;
    }

    LogCapture logs;
    std::shared_ptr<SimSecretStore> secrets = std::make_shared<SimSecretStore>();
    KeychainStore store{secrets, "com.pennial.Pennial.auth"};
};

} // namespace

TEST_F(KeychainStoreTest, SavesLoadsAndRemovesUnderItsService) {
    store.save("session", "one");
    store.save("session", "two");
    EXPECT_EQ(secrets->item("com.pennial.Pennial.auth", "session"), "two");
    EXPECT_EQ(store.load("session"), "two");
    store.remove("session");
    EXPECT_EQ(store.load("session"), std::nullopt);
    store.remove("session");
    EXPECT_EQ(logs.lines(), (std::vector<std::string>{
                                "🔵 [KeychainStore] Release build — using Data Protection keychain",
                                "🔵 [KeychainStore] Saved key=session",
                                "🔵 [KeychainStore] Saved key=session",
                                "🔵 [KeychainStore] Loaded key=session",
                                "🔵 [KeychainStore] load key=session — not found",
                            }));
}

TEST_F(KeychainStoreTest, FailedWriteKeepsTheOldItem) {
    store.save("session", "old");
    secrets->injectFailure(Operation::write, SecretStatus::interactionNotAllowed);
    EXPECT_EQ(statusOf([&] { store.save("session", "new"); }), -25308);
    EXPECT_EQ(secrets->item("com.pennial.Pennial.auth", "session"), "old");
    EXPECT_TRUE(logs.contains("❌ [KeychainStore] save failed for key=session, status=-25308 (The "
                              "keyring is locked or did not answer in time.)"));
}

TEST_F(KeychainStoreTest, FailuresCarryTheStatusAndOnlyLoadAndSaveLogThem) {
    secrets->injectFailure(Operation::read, SecretStatus::notAvailable);
    EXPECT_EQ(statusOf([&] { store.load("session"); }), -25291);
    EXPECT_TRUE(logs.contains("❌ [KeychainStore] load failed for key=session, status=-25291 (No "
                              "secret service is available.)"));

    secrets->injectFailure(Operation::read, -1234);
    EXPECT_EQ(statusOf([&] { store.load("session"); }), -1234);
    EXPECT_TRUE(logs.contains("❌ [KeychainStore] load failed for key=session, status=-1234 "
                              "(unknown)"));

    logs.clear();
    secrets->injectFailure(Operation::remove, SecretStatus::authFailed);
    EXPECT_EQ(statusOf([&] { store.remove("session"); }), -25293);
    EXPECT_TRUE(logs.lines().empty());
}

// What a real secret service answers carries its own name for the failure: that is what the log
// and the error say, not our number for it.
TEST_F(KeychainStoreTest, TheSecretServicesWordsReplaceTheStatusNumber) {
    const std::string locked = "org.freedesktop.Secret.Error.IsLocked: Cannot create an item in a "
                               "locked collection";
    secrets->injectFailure(Operation::write, SecretStatus::interactionNotAllowed, locked);
    secrets->injectFailure(Operation::read, SecretStatus::interactionNotAllowed, locked);
    for (const auto& operation : std::vector<std::function<void()>>{
             [&] { store.save("session", "x"); }, [&] { store.load("session"); }}) {
        try {
            operation();
            ADD_FAILURE() << "no AuthError";
        } catch (const AuthError& error) {
            EXPECT_EQ(error.underlying(), locked);
            EXPECT_EQ(std::string(error.what()), "keychainError(" + locked + ")");
        }
    }
    EXPECT_TRUE(logs.contains("❌ [KeychainStore] save failed for key=session: " + locked));
    EXPECT_TRUE(logs.contains("❌ [KeychainStore] load failed for key=session: " + locked));
    EXPECT_TRUE(logs.matching("status=").empty());
}

TEST_F(KeychainStoreTest, AnItemUnderTheEarlierServiceNameIsMovedOnceAndSignOutRemovesBoth) {
    const std::string earlier = "com.example.earlier.auth";
    KeychainStore moving{secrets, "com.pennial.Pennial.auth", earlier};
    secrets->putItem(earlier, "session", "kept");
    EXPECT_EQ(moving.load("session"), "kept");
    EXPECT_EQ(secrets->item("com.pennial.Pennial.auth", "session"), "kept");
    EXPECT_EQ(secrets->item(earlier, "session"), std::nullopt);
    EXPECT_EQ(logs.matching("Moved key=session").size(), 1u);

    // A move that cannot be written keeps the old item, and still answers its value.
    secrets->putItem(earlier, "other", "old");
    secrets->injectFailure(Operation::write, SecretStatus::interactionNotAllowed);
    EXPECT_EQ(moving.load("other"), "old");
    EXPECT_EQ(secrets->item(earlier, "other"), "old");
    secrets->clearFailure(Operation::write);

    // Removing leaves nothing that a later start could read back, under either name.
    moving.remove("other");
    EXPECT_EQ(moving.load("other"), std::nullopt);
    secrets->putItem(earlier, "session", "stale");
    moving.remove("session");
    EXPECT_EQ(secrets->item(earlier, "session"), std::nullopt);
    EXPECT_EQ(moving.load("session"), std::nullopt);
}
