#include "auth/keychainauthstorage.h"
#include "fakes/fakekeychain.h"
#include "support/taskoutcome.h"

#include <gtest/gtest.h>

namespace {

using KeychainError = KeychainAuthStorage::KeychainError;

class KeychainAuthStorageTest : public ::testing::Test
{
protected:
    const QString service = QStringLiteral("com.wordloom.supabase.auth");
    FakeKeychain keychain;
    KeychainAuthStorage storage{service, keychain};
};

TEST_F(KeychainAuthStorageTest, StoresReplacesRetrievesAndRemovesUnderTheServiceAndKey)
{
    runTask(storage.store(QStringLiteral("session"), "first"));
    runTask(storage.store(QStringLiteral("session"), "second"));

    EXPECT_EQ(keychain.item(service, QStringLiteral("session")), QByteArray("second"));
    EXPECT_EQ(runTask(storage.retrieve(QStringLiteral("session"))), QByteArray("second"));

    runTask(storage.remove(QStringLiteral("session")));
    EXPECT_FALSE(runTask(storage.retrieve(QStringLiteral("session"))));
}

TEST_F(KeychainAuthStorageTest, UnknownKeysReadAsNothingAndRemoveQuietly)
{
    EXPECT_FALSE(runTask(storage.retrieve(QStringLiteral("never"))));
    EXPECT_EQ(failureOf(storage.remove(QStringLiteral("never"))), nullptr);
}

TEST_F(KeychainAuthStorageTest, FailedReplacementKeepsThePreviousSession)
{
    runTask(storage.store(QStringLiteral("session"), "signed-in"));
    keychain.failWith(QStringLiteral("update"), KeychainStatus::interactionNotAllowed);

    const auto error = failureOfType<KeychainError>(storage.store(QStringLiteral("session"), "newer"));

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), KeychainError::Kind::UnableToStore);
    EXPECT_EQ(error->description(), QStringLiteral("Unable to store in Keychain: -25308"));
    keychain.clearFailures();
    EXPECT_EQ(runTask(storage.retrieve(QStringLiteral("session"))), QByteArray("signed-in"));
}

TEST_F(KeychainAuthStorageTest, EachOperationReportsThePlatformStatus)
{
    keychain.failWith(QStringLiteral("add"), KeychainStatus::duplicateItem);
    keychain.failWith(QStringLiteral("read"), KeychainStatus::notAvailable);
    keychain.failWith(QStringLiteral("remove"), KeychainStatus::unknownFailure);

    EXPECT_EQ(failureOfType<KeychainError>(storage.store(QStringLiteral("new"), "x"))->description(),
              QStringLiteral("Unable to store in Keychain: -25299"));
    EXPECT_EQ(failureOfType<KeychainError>(storage.retrieve(QStringLiteral("new")))->description(),
              QStringLiteral("Unable to retrieve from Keychain: -25291"));
    EXPECT_EQ(failureOfType<KeychainError>(storage.remove(QStringLiteral("new")))->description(),
              QStringLiteral("Unable to remove from Keychain: -26276"));
    EXPECT_FALSE(keychain.item(service, QStringLiteral("new")));
}

TEST_F(KeychainAuthStorageTest, CallsReachTheKeychainOneAtATimeInTheOrderMade)
{
    runTask(storage.store(QStringLiteral("session"), "old"));
    keychain.hold(true);

    QCoro::Task<> storing = storage.store(QStringLiteral("session"), "refreshed");
    QCoro::Task<> removing = storage.remove(QStringLiteral("session"));
    EXPECT_EQ(keychain.waitingCalls(), 1);

    // Even a keychain that would answer the newest call first sees the remove only after the store.
    while (keychain.waitingCalls() > 0) {
        keychain.releaseNewest();
    }
    runTask(std::move(storing));
    runTask(std::move(removing));

    EXPECT_FALSE(keychain.item(service, QStringLiteral("session")));
}

} // namespace
