#include "platform/linux/secretservicekeychain.h"
#include "support/runtask.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <csignal>
#include <gtest/gtest.h>
#include <optional>
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

// Keychains in child processes on a session bus of the test's own, with its own home, data and runtime
// directories, so that the keyring daemons it starts never touch the test session's keyring. (A process connects to
// one session bus, once.)
class PrivateSessionTest : public ::testing::Test
{
protected:
    QTemporaryDir directory;
    QProcessEnvironment environment = privateEnvironment();
    // Declared before the processes on it, so it is stopped last.
    QProcess bus;
    QProcess keyring;
    // How often the probe's main-thread timer fired during its last call.
    int lastTicks = 0;

    void TearDown() override
    {
        for (QProcess *process : {&keyring, &bus}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                process->waitForFinished(10'000);
            }
        }
    }

    QProcessEnvironment privateEnvironment()
    {
        QProcessEnvironment result = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
            const QString path = directory.filePath(QString::fromLatin1(name).toLower());
            QDir().mkpath(path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            result.insert(QString::fromLatin1(name), path);
        }
        result.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                      QStringLiteral("unix:path=") + directory.filePath(QStringLiteral("no-bus")));
        return result;
    }

    // With `activation`, the bus starts the desktop's services on demand (the keyring's unlock prompter among
    // them); without, it has nothing but what the test puts on it.
    void startBus(bool activation)
    {
        const QString config = directory.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  %2
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                .arg(directory.path(), activation ? QStringLiteral("<standard_session_servicedirs/>") : QString())
                .toUtf8());
        file.close();
        bus.setProcessEnvironment(environment);
        bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                                                  QStringLiteral("--config-file"), config});
        ASSERT_TRUE(bus.waitForReadyRead(10'000)) << bus.readAllStandardError().toStdString();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(bus.readLine().trimmed()));
    }

    // gnome-keyring's secrets component; `password` unlocks (or creates) the login keyring, none leaves it locked.
    void startKeyring(const std::optional<QByteArray> &password)
    {
        keyring.setProcessEnvironment(environment);
        QStringList arguments{QStringLiteral("--foreground"), QStringLiteral("--components=secrets")};
        if (password) {
            arguments.append(QStringLiteral("--unlock"));
        }
        keyring.start(QStringLiteral("gnome-keyring-daemon"), arguments);
        ASSERT_TRUE(keyring.waitForStarted());
        if (password) {
            keyring.write(*password + '\n');
            keyring.waitForBytesWritten();
        }
        keyring.closeWriteChannel();
        for (int attempt = 0; attempt < 200 && !secretServiceOnBus(); ++attempt) {
            QThread::msleep(50);
        }
        ASSERT_TRUE(secretServiceOnBus()) << keyring.readAllStandardError().toStdString();
    }

    void stopKeyring()
    {
        keyring.terminate();
        ASSERT_TRUE(keyring.waitForFinished(10'000));
    }

    bool secretServiceOnBus()
    {
        QProcess query;
        query.setProcessEnvironment(environment);
        query.start(QStringLiteral("dbus-send"),
                    {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                     QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                     QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                     QStringLiteral("string:org.freedesktop.secrets")});
        query.waitForFinished(5000);
        return query.readAllStandardOutput().contains("boolean true");
    }

    // The status of one keychain call in a child process; fails the test when the call hangs.
    Status probe(const QString &operation, const QString &service, const QString &account = QStringLiteral("account"),
                 double replySeconds = 2.0, double promptSeconds = 2.0)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KEYCHAIN_PROBE),
                      {operation, service, account, QString::number(replySeconds), QString::number(promptSeconds)});
        if (!process.waitForFinished(60'000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the keychain call hung";
            return 1;
        }
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        const QList<QByteArray> printed = process.readAllStandardOutput().trimmed().split(' ');
        lastTicks = printed.value(1).toInt();
        return printed.value(0).toInt();
    }
};

TEST_F(PrivateSessionTest, NoSessionBusAtAll)
{
    EXPECT_EQ(probe(QStringLiteral("read"), uniqueService()), S::notAvailable);
    EXPECT_EQ(probe(QStringLiteral("add"), uniqueService()), S::notAvailable);
}

TEST_F(PrivateSessionTest, BusWithoutASecretService)
{
    startBus(false);
    EXPECT_EQ(probe(QStringLiteral("read"), uniqueService()), S::notAvailable);
    EXPECT_EQ(probe(QStringLiteral("add"), uniqueService()), S::notAvailable);
}

TEST_F(PrivateSessionTest, SecretServiceThatNeverAnswers)
{
    startBus(false);
    QProcess occupier;
    occupier.setProcessEnvironment(environment);
    occupier.start(QStringLiteral(KEYCHAIN_PROBE), {QStringLiteral("occupy")});
    ASSERT_TRUE(occupier.waitForReadyRead(10'000)) << occupier.readAllStandardError().toStdString();
    ASSERT_EQ(occupier.readLine().trimmed(), QByteArray("ready"));
    ::kill(static_cast<pid_t>(occupier.processId()), SIGSTOP);

    EXPECT_EQ(probe(QStringLiteral("read"), uniqueService(), QStringLiteral("account"), 0.5), S::notAvailable);
    EXPECT_GT(lastTicks, 0) << "the main thread was blocked while the call waited";
}

// The danger of a locked keyring: the service opens its unlock prompt (on the test session's display, when there is
// one) and waits for a password that never comes. The call gives up on the prompt and reports the locked keyring.
TEST_F(PrivateSessionTest, LockedKeyringEndsWithInteractionNotAllowed)
{
    startBus(true);
    const QString service = uniqueService();
    startKeyring(QByteArray("login password"));
    ASSERT_EQ(probe(QStringLiteral("add"), service), S::success);
    stopKeyring();

    startKeyring(std::nullopt);
    EXPECT_EQ(probe(QStringLiteral("read"), service, QStringLiteral("account"), 2.0, 0.5), S::interactionNotAllowed);
    EXPECT_GT(lastTicks, 0) << "the main thread was blocked while the prompt was open";
    EXPECT_EQ(probe(QStringLiteral("add"), service, QStringLiteral("other"), 2.0, 0.5), S::interactionNotAllowed);
    // Finding out that an item is missing needs no unlocking.
    EXPECT_EQ(probe(QStringLiteral("read"), service, QStringLiteral("missing"), 2.0, 0.5), S::itemNotFound);
}

// Without any keyring, storing needs a new one, and the service asks the user for its password.
TEST_F(PrivateSessionTest, MissingKeyringIsNotCreatedWithoutTheUser)
{
    startBus(true);
    startKeyring(std::nullopt);
    const QString service = uniqueService();
    EXPECT_EQ(probe(QStringLiteral("add"), service, QStringLiteral("account"), 2.0, 0.5), S::interactionNotAllowed);
    EXPECT_EQ(probe(QStringLiteral("read"), service), S::itemNotFound);
}

} // namespace
