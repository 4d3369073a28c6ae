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
    KeychainStore store{secrets, "com.pennial.macos.auth"};
};

} // namespace

TEST_F(KeychainStoreTest, SavesLoadsAndRemovesUnderItsService) {
    store.save("session", "one");
    store.save("session", "two");
    EXPECT_EQ(secrets->item("com.pennial.macos.auth", "session"), "two");
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
    EXPECT_EQ(secrets->item("com.pennial.macos.auth", "session"), "old");
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
