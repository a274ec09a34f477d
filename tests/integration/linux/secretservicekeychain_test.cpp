#include "platform/linux/secretservicekeychain.h"
#include "support/runtask.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <csignal>
#include <gtest/gtest.h>
#include <vector>

namespace {

using Status = int;
namespace S = KeychainStatus;

QString uniqueService()
{
    return QStringLiteral("lumora.test.") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Each test works on items of a service name of its own, in the unlocked keyring of the test session.
class SecretServiceKeychainTest : public ::testing::Test
{
protected:
    SecretServiceKeychain keychain;
    const QString service = uniqueService();
    const QString account = QStringLiteral("supabase.auth.token");

    Status add(const QByteArray &data, const QString &name = {})
    {
        return runTask(keychain.add(service, name.isEmpty() ? account : name, data));
    }
    Status update(const QByteArray &data) { return runTask(keychain.update(service, account, data)); }
    Keychain::ReadResult read(const QString &name = {})
    {
        return runTask(keychain.read(service, name.isEmpty() ? account : name));
    }
    Status remove() { return runTask(keychain.remove(service, account)); }
};

TEST_F(SecretServiceKeychainTest, StoredBytesComeBackUnchanged)
{
    const struct
    {
        const char *name;
        QByteArray data;
    } rows[] = {
        {"session JSON", QByteArrayLiteral(R"({"access_token":"eyJ.a.b","refresh_token":"r-1"})")},
        {"UTF-8 text", QStringLiteral(u"Grüße, 世界 🙂").toUtf8()},
        {"binary with NUL and high bytes", QByteArray("\x00\x01\xfe\xff\x00\x80tail", 10)},
        {"one byte", QByteArrayLiteral("x")},
        {"64 KiB", QByteArray(64 * 1024, 'k')},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = QString::fromUtf8(row.name);
        ASSERT_EQ(add(row.data, name), S::success);
        const Keychain::ReadResult result = read(name);
        EXPECT_EQ(result.status, S::success);
        EXPECT_EQ(result.data, row.data);
    }
}

TEST_F(SecretServiceKeychainTest, AddingAnExistingItemReportsADuplicateAndKeepsTheFirstValue)
{
    ASSERT_EQ(add("first"), S::success);
    EXPECT_EQ(add("second"), S::duplicateItem);
    EXPECT_EQ(read().data, QByteArray("first"));
}

TEST_F(SecretServiceKeychainTest, UpdateReplacesTheValueInPlace)
{
    ASSERT_EQ(add("old value"), S::success);
    EXPECT_EQ(update("new value"), S::success);
    EXPECT_EQ(read().data, QByteArray("new value"));
    // Still one item: adding again is a duplicate and a single remove clears it.
    EXPECT_EQ(add("other"), S::duplicateItem);
    EXPECT_EQ(remove(), S::success);
    EXPECT_EQ(read().status, S::itemNotFound);
}

TEST_F(SecretServiceKeychainTest, MissingItemsAreReportedAndNotCreated)
{
    EXPECT_EQ(update("value"), S::itemNotFound);
    const Keychain::ReadResult missing = read();
    EXPECT_EQ(missing.status, S::itemNotFound);
    EXPECT_TRUE(missing.data.isEmpty());
    EXPECT_EQ(remove(), S::itemNotFound);
}

TEST_F(SecretServiceKeychainTest, RemoveDeletesTheItemOnce)
{
    ASSERT_EQ(add("value"), S::success);
    EXPECT_EQ(remove(), S::success);
    EXPECT_EQ(read().status, S::itemNotFound);
    EXPECT_EQ(remove(), S::itemNotFound);
    EXPECT_EQ(add("again"), S::success);
    EXPECT_EQ(read().data, QByteArray("again"));
}

TEST_F(SecretServiceKeychainTest, ItemsAreKeptApartByServiceAndAccount)
{
    const QString otherService = uniqueService();
    ASSERT_EQ(add("mine"), S::success);
    ASSERT_EQ(runTask(keychain.add(otherService, account, "theirs")), S::success);
    ASSERT_EQ(add("other account", QStringLiteral("refreshToken")), S::success);

    EXPECT_EQ(read().data, QByteArray("mine"));
    EXPECT_EQ(runTask(keychain.read(otherService, account)).data, QByteArray("theirs"));
    EXPECT_EQ(read(QStringLiteral("refreshToken")).data, QByteArray("other account"));

    EXPECT_EQ(remove(), S::success);
    EXPECT_EQ(runTask(keychain.read(otherService, account)).status, S::success);
    EXPECT_EQ(read(QStringLiteral("refreshToken")).status, S::success);
}

TEST_F(SecretServiceKeychainTest, SecondInstanceSeesTheSameItems)
{
    SecretServiceKeychain other;
    ASSERT_EQ(add("shared"), S::success);
    EXPECT_EQ(runTask(other.read(service, account)).data, QByteArray("shared"));
    EXPECT_EQ(runTask(other.update(service, account, "changed by the other")), S::success);
    EXPECT_EQ(read().data, QByteArray("changed by the other"));
    EXPECT_EQ(runTask(other.remove(service, account)), S::success);
    EXPECT_EQ(read().status, S::itemNotFound);
}

TEST_F(SecretServiceKeychainTest, CallsInFlightTogetherAllComplete)
{
    std::vector<QCoro::Task<int>> adding;
    for (int i = 0; i < 6; ++i) {
        adding.push_back(keychain.add(service, QStringLiteral("account-%1").arg(i), QByteArray::number(i)));
    }
    for (QCoro::Task<int> &task : adding) {
        EXPECT_EQ(runTask(std::move(task)), S::success);
    }
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(read(QStringLiteral("account-%1").arg(i)).data, QByteArray::number(i));
    }
}

// A keychain in a child process, connected to the session bus that the test chooses.
class UnavailableSecretServiceTest : public ::testing::Test
{
protected:
    QTemporaryDir directory;

    // The status the probe printed; fails the test when the probe itself hangs or breaks.
    Status probe(const QString &busAddress, const QString &operation, double replySeconds = 2.0,
                 double promptSeconds = 2.0)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KEYCHAIN_PROBE), {operation, uniqueService(), QStringLiteral("account"),
                                                       QString::number(replySeconds), QString::number(promptSeconds)});
        if (!process.waitForFinished(60'000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the keychain call hung";
            return 1;
        }
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput().trimmed().toInt();
    }

    // A session bus of its own with nothing on it, and no service activation.
    QString startEmptyBus(QProcess &daemon)
    {
        const QString config = directory.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                       .arg(directory.path())
                       .toUtf8());
        file.close();
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                                                     QStringLiteral("--config-file"), config});
        EXPECT_TRUE(daemon.waitForReadyRead(10'000)) << daemon.readAllStandardError().toStdString();
        return QString::fromUtf8(daemon.readLine().trimmed());
    }
};

TEST_F(UnavailableSecretServiceTest, NoSessionBusAtAll)
{
    const QString deadSocket = QStringLiteral("unix:path=") + directory.filePath(QStringLiteral("no-bus"));
    EXPECT_EQ(probe(deadSocket, QStringLiteral("read")), S::notAvailable);
    EXPECT_EQ(probe(deadSocket, QStringLiteral("add")), S::notAvailable);
}

TEST_F(UnavailableSecretServiceTest, BusWithoutASecretService)
{
    QProcess daemon;
    const QString address = startEmptyBus(daemon);
    ASSERT_FALSE(address.isEmpty());
    EXPECT_EQ(probe(address, QStringLiteral("read")), S::notAvailable);
    EXPECT_EQ(probe(address, QStringLiteral("add")), S::notAvailable);
    daemon.kill();
    daemon.waitForFinished();
}

TEST_F(UnavailableSecretServiceTest, SecretServiceThatNeverAnswers)
{
    QProcess daemon;
    const QString address = startEmptyBus(daemon);
    ASSERT_FALSE(address.isEmpty());

    QProcess occupier;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    occupier.setProcessEnvironment(environment);
    occupier.start(QStringLiteral(KEYCHAIN_PROBE), {QStringLiteral("occupy")});
    ASSERT_TRUE(occupier.waitForReadyRead(10'000)) << occupier.readAllStandardError().toStdString();
    ASSERT_EQ(occupier.readLine().trimmed(), QByteArray("ready"));
    ::kill(static_cast<pid_t>(occupier.processId()), SIGSTOP);

    EXPECT_EQ(probe(address, QStringLiteral("read"), 0.5), S::notAvailable);

    occupier.kill();
    occupier.waitForFinished();
    daemon.kill();
    daemon.waitForFinished();
}

} // namespace
