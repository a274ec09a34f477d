#include "platform/linux/browserwebauthsession.h"
#include "support/runtask.h"

#include <QCoreApplication>

#include <gtest/gtest.h>
#include <memory>

namespace {

const QUrl signInPage(QStringLiteral("https://id.example.com/authorize?provider=google&code_challenge=abc"));
const QString scheme = QStringLiteral("wordloom");

// Records the pages it was asked to open; `opens` decides whether opening works.
struct FakeOpener
{
    QList<QUrl> opened;
    bool opens = true;

    BrowserWebAuthSession::UrlOpener opener()
    {
        return [this](const QUrl &url) {
            opened.append(url);
            return opens;
        };
    }
};

// Awaits the session's completion from the moment it is called, like the session manager does.
struct PendingCompletion
{
    explicit PendingCompletion(WebAuthSession &session)
        : watching(watch(session.completion(), outcome))
    {}
    static QCoro::Task<> watch(QCoro::Task<WebAuthOutcome> completion, std::optional<WebAuthOutcome> &outcome)
    {
        outcome = co_await std::move(completion);
    }
    // The outcome once the events already posted have run; the waiter resumes on a later turn of the event loop.
    const std::optional<WebAuthOutcome> &settled()
    {
        QCoreApplication::processEvents();
        return outcome;
    }
    std::optional<WebAuthOutcome> outcome;
    QCoro::Task<> watching;
};

void expectCancelled(const std::optional<WebAuthOutcome> &outcome)
{
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->errorCode, WebAuthOutcome::cancelledByUser);
    EXPECT_FALSE(outcome->callbackUrl.has_value());
}

class BrowserWebAuthSessionTest : public ::testing::Test
{
protected:
    FakeOpener browser;
    BrowserWebAuthSession session{browser.opener()};
};

TEST_F(BrowserWebAuthSessionTest, OpensThePageAndCompletesWithTheCallbackOfItsScheme)
{
    ASSERT_TRUE(session.start(signInPage, scheme));
    EXPECT_EQ(browser.opened, QList<QUrl>{signInPage});
    PendingCompletion pending(session);

    EXPECT_FALSE(session.deliverCallback(QUrl(QStringLiteral("https://example.com/?code=1"))));
    EXPECT_FALSE(pending.settled().has_value());

    const QUrl callback(QStringLiteral("wordloom://auth/callback?code=c0de"));
    EXPECT_TRUE(session.deliverCallback(callback));
    ASSERT_TRUE(pending.settled().has_value());
    EXPECT_EQ(pending.settled()->callbackUrl, callback);
    EXPECT_FALSE(pending.settled()->errorCode.has_value());

    // Finished: later URLs are not the session's, and the outcome stays.
    EXPECT_FALSE(session.deliverCallback(callback));
    EXPECT_EQ(runTask(session.completion()).callbackUrl, callback);
}

TEST_F(BrowserWebAuthSessionTest, CallbackSchemeMatchesInAnyLetterCase)
{
    ASSERT_TRUE(session.start(signInPage, QStringLiteral("WordLoom")));
    EXPECT_TRUE(session.deliverCallback(QUrl(QStringLiteral("wordloom://auth/callback"))));
}

TEST_F(BrowserWebAuthSessionTest, CancelEndsTheSessionAsCancelledByTheUser)
{
    ASSERT_TRUE(session.start(signInPage, scheme));
    PendingCompletion pending(session);
    session.cancel();
    expectCancelled(pending.settled());
    EXPECT_FALSE(session.deliverCallback(QUrl(QStringLiteral("wordloom://auth/callback"))));
    expectCancelled(runTask(session.completion()));
}

TEST_F(BrowserWebAuthSessionTest, NewerStartCancelsTheRunningSession)
{
    ASSERT_TRUE(session.start(signInPage, scheme));
    PendingCompletion first(session);
    ASSERT_TRUE(session.start(signInPage, scheme));
    expectCancelled(first.settled());

    PendingCompletion second(session);
    EXPECT_FALSE(second.settled().has_value());
    const QUrl callback(QStringLiteral("wordloom://auth/callback?code=2"));
    EXPECT_TRUE(session.deliverCallback(callback));
    EXPECT_EQ(second.settled()->callbackUrl, callback);
}

TEST_F(BrowserWebAuthSessionTest, PageThatCannotBeOpenedStartsNothing)
{
    browser.opens = false;
    EXPECT_FALSE(session.start(signInPage, scheme));
    EXPECT_FALSE(session.isRunning());
    EXPECT_FALSE(session.deliverCallback(QUrl(QStringLiteral("wordloom://auth/callback"))));
    const WebAuthOutcome outcome = runTask(session.completion());
    EXPECT_FALSE(outcome.callbackUrl.has_value());
    EXPECT_NE(outcome.errorCode, WebAuthOutcome::cancelledByUser);
}

TEST_F(BrowserWebAuthSessionTest, CompletionWithoutAnySessionHasNeitherUrlNorError)
{
    const WebAuthOutcome outcome = runTask(session.completion());
    EXPECT_FALSE(outcome.callbackUrl.has_value());
    EXPECT_FALSE(outcome.errorCode.has_value());
}

TEST(BrowserWebAuthSessionLifetime, DestroyingTheSessionReleasesItsWaiter)
{
    FakeOpener browser;
    auto session = std::make_unique<BrowserWebAuthSession>(browser.opener());
    ASSERT_TRUE(session->start(signInPage, scheme));
    PendingCompletion pending(*session);
    session.reset();
    expectCancelled(pending.settled());
}

} // namespace
