#include "platform/linux/singleinstancechannel.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Two channels in one process stand for the running instance and a later start; the socket lives in a temporary
// directory of the test.
class SingleInstanceChannelTest : public ::testing::Test
{
protected:
    QTemporaryDir directory;
    const QString name = directory.filePath(QStringLiteral("instance.socket"));
    SingleInstanceChannel running{name};
    SingleInstanceChannel later{name};

    QStringList handOffAndReceive(const QStringList &urls)
    {
        QSignalSpy received(&running, &SingleInstanceChannel::urlsReceived);
        EXPECT_TRUE(later.handOff(urls));
        if (received.isEmpty() && !received.wait(5000)) {
            ADD_FAILURE() << "the running instance received nothing";
            return {};
        }
        EXPECT_EQ(received.size(), 1);
        return received.takeFirst().at(0).toStringList();
    }
};

TEST_F(SingleInstanceChannelTest, LaterStartHandsItsUrlsToTheRunningInstance)
{
    ASSERT_TRUE(running.listen());
    const QStringList urls{
        QStringLiteral("wordloom://auth/callback?code=c0de&state=s#access_token=a.b.c&refresh_token=r%2Bx"),
        QStringLiteral("wordloom://auth/confirm?email=b%C3%BCrger%40example.com&next=a%26b"),
        QStringLiteral("WordLoom://Auth/confirm"),
    };
    EXPECT_EQ(handOffAndReceive(urls), urls);
    // The channel keeps listening for the next start.
    EXPECT_EQ(handOffAndReceive({urls.at(1)}), QStringList{urls.at(1)});
}

TEST_F(SingleInstanceChannelTest, StartWithoutUrlsIsReportedWithAnEmptyList)
{
    ASSERT_TRUE(running.listen());
    EXPECT_EQ(handOffAndReceive({}), QStringList{});
}

TEST_F(SingleInstanceChannelTest, WithoutARunningInstanceNothingIsHandedOff)
{
    EXPECT_FALSE(later.handOff({QStringLiteral("wordloom://auth/callback")}));
}

TEST_F(SingleInstanceChannelTest, OnlyOneInstanceListens)
{
    ASSERT_TRUE(running.listen());
    EXPECT_FALSE(later.listen());
    EXPECT_FALSE(later.isListening());
    EXPECT_EQ(handOffAndReceive({}), QStringList{});
}

TEST_F(SingleInstanceChannelTest, SocketLeftBehindByAnEndedInstanceIsReplaced)
{
    // A socket file that nobody listens on, as a crashed instance leaves it.
    const int leftover = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(leftover, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(leftover);
    ASSERT_TRUE(QFile::exists(name));

    EXPECT_FALSE(later.handOff({}));
    ASSERT_TRUE(running.listen());
    EXPECT_EQ(handOffAndReceive({}), QStringList{});
}

TEST(SingleInstanceChannelArguments, OnlyUrlsOfTheProgramsSchemeAreTaken)
{
    const QStringList arguments{
        QStringLiteral("/usr/bin/lumora-prompt"),
        QStringLiteral("wordloom://auth/callback#access_token=x"),
        QStringLiteral("https://example.com/"),
        QStringLiteral("WordLoom://auth/confirm"),
        QStringLiteral("--verbose"),
        QStringLiteral("wordloom"),
    };
    EXPECT_EQ(SingleInstanceChannel::urlsFromArguments(arguments),
              (QStringList{QStringLiteral("wordloom://auth/callback#access_token=x"),
                           QStringLiteral("WordLoom://auth/confirm")}));
}

TEST(SingleInstanceChannelName, DefaultSocketIsInTheUsersRuntimeDirectory)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) {
        GTEST_SKIP() << "no XDG_RUNTIME_DIR";
    }
    EXPECT_TRUE(SingleInstanceChannel::defaultServerName().startsWith(QFile::decodeName(runtime) + u'/'));
}

} // namespace
