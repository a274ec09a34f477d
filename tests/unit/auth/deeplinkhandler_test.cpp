#include "auth/authlinkpresenter.h"
#include "auth/deeplinkhandler.h"
#include "auth/deeplinkparameters.h"
#include "runtime/redactedurl.h"
#include "sessionfixture.h"

#include <QUrl>

namespace {

class CountingPresenter : public AuthLinkPresenter
{
public:
    void presentAccountAfterAuthLink() override { ++presented; }
    int presented = 0;
};

class DeepLinkHandlerTest : public SessionFixture
{
protected:
    // Handles `url` as delivered and lets every deferred state change land.
    void open(const QString &url)
    {
        handler.handleOpenUrls({url});
        scheduler.runPending();
    }
    // Makes the client's own exchange fail, so the handler falls back to reading the parameters itself.
    void exchangeFails() { identity.failNext(QStringLiteral("completeFromCallbackUrl"), QStringLiteral("no code")); }

    CountingPresenter presenter;
    DeepLinkHandler handler{identity, manager, state, presenter};
};

TEST(DeepLinkParameters, QueryThenFragmentWithValuesDecodedAndKeysKept)
{
    struct Row
    {
        const char *url;
        QMap<QString, QString> expected;
    };
    const auto map = [](std::initializer_list<std::pair<const char *, const char *>> pairs) {
        QMap<QString, QString> result;
        for (const auto &[key, value] : pairs) {
            result.insert(QString::fromUtf8(key), QString::fromUtf8(value));
        }
        return result;
    };
    const QList<Row> rows = {
        {"wordloom://auth/confirm?type=signup&type=recovery", map({{"type", "recovery"}})},
        {"wordloom://auth/confirm?flag&empty=", map({{"empty", ""}})},
        {"wordloom://auth/confirm?token=q%20v#token=f%2Bv", map({{"token", "f+v"}})},
        {"wordloom://auth/callback#=novalue&nokey=&&a=b=c&plain", map({{"a", "b=c"}})},
        {"wordloom://auth/callback#my%20key=x%ZZ", map({{"my%20key", "x%ZZ"}})},
        {"wordloom://auth/callback#caf%C3%A9=caf%C3%A9", map({{"caf%C3%A9", "café"}})},
        {"wordloom://auth/callback?q=1%2B1", map({{"q", "1+1"}})},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(deepLinkParameters(QString::fromUtf8(row.url)), row.expected) << row.url;
    }
}

TEST(RedactedUrl, KeepsKeysAndDropsEveryValue)
{
    EXPECT_EQ(
        redactedUrl(QStringLiteral("wordloom://auth/callback?code=abc&state=#access_token=t1&refresh_token=t2&x")),
        QStringLiteral("wordloom://auth/callback?code=<redacted>&state=<redacted>#access_token=<redacted>&"
                       "refresh_token=<redacted>&<redacted>"));
    EXPECT_EQ(redactedUrl(QStringLiteral("wordloom://auth/confirm")), QStringLiteral("wordloom://auth/confirm"));
}

TEST_F(DeepLinkHandlerTest, TokenValuesNeverReachTheLog)
{
    exchangeFails();
    open(QStringLiteral("wordloom://auth/callback?code=SECRET-CODE#access_token=SECRET-ACCESS&refresh_token=SECRET-R"));

    EXPECT_FALSE(log.lines().join(u'\n').contains(u"SECRET"));
    EXPECT_TRUE(log.contains(u"[AppDelegate] Received URL: wordloom://auth/callback?code=<redacted>#access_token="));
    EXPECT_TRUE(log.contains(u"[AppDelegate] All params: access_token, code, refresh_token"));
}

TEST_F(DeepLinkHandlerTest, OnlyTheExactSchemeIsAccepted)
{
    open(QStringLiteral("WORDLOOM://auth/callback?code=1"));
    open(QStringLiteral("https://example.com/auth"));
    open(QStringLiteral("no scheme here"));

    EXPECT_TRUE(identity.calls().isEmpty());
    EXPECT_TRUE(log.contains(u"[AppDelegate] Unknown scheme: WORDLOOM"));
    EXPECT_TRUE(log.contains(u"[AppDelegate] Unknown scheme: https"));
    EXPECT_TRUE(log.contains(u"[AppDelegate] Unknown scheme: nil"));
    EXPECT_EQ(presenter.presented, 0);
}

TEST_F(DeepLinkHandlerTest, OnlyTheFirstOfSeveralUrlsIsHandled)
{
    handler.handleOpenUrls({});
    handler.handleOpenUrls({QStringLiteral("wordloom://auth/callback?code=1"), QStringLiteral("wordloom://auth/x")});

    EXPECT_EQ(identity.calls(), QStringList{QStringLiteral("completeFromCallbackUrl wordloom://auth/callback?code=1")});
}

TEST_F(DeepLinkHandlerTest, SuccessfulExchangeClearsThePendingConfirmationAndShowsTheAccount)
{
    state.setEmailConfirmationPending(QStringLiteral("ada@example.com"));

    open(QStringLiteral("wordloom://auth/callback?code=1"));

    EXPECT_FALSE(state.isEmailConfirmationPending());
    EXPECT_EQ(presenter.presented, 1);
    EXPECT_TRUE(log.contains(u"[AppDelegate] Session obtained from URL successfully!"));
}

TEST_F(DeepLinkHandlerTest, UnknownHostStopsWithoutShowingAnything)
{
    exchangeFails();
    open(QStringLiteral("wordloom://Auth/confirm#access_token=a&refresh_token=b"));

    EXPECT_TRUE(log.contains(u"[AppDelegate] Unknown host: Auth"));
    EXPECT_EQ(presenter.presented, 0);
    EXPECT_EQ(identity.calls().size(), 1);
}

TEST_F(DeepLinkHandlerTest, TokensInTheFragmentInstallASessionWhateverThePath)
{
    state.setEmailConfirmationPending(QStringLiteral("ada@example.com"));
    exchangeFails();

    open(QStringLiteral("wordloom://auth/confirm?access_token=query#access_token=frag-a&refresh_token=frag-r"));

    EXPECT_EQ(identity.calls().last(), QStringLiteral("installSession frag-a frag-r"));
    EXPECT_FALSE(state.isEmailConfirmationPending());
    EXPECT_TRUE(log.contains(u"[AppDelegate] Session set successfully!"));
    EXPECT_EQ(presenter.presented, 1);
}

TEST_F(DeepLinkHandlerTest, RejectedTokensAreLoggedAndTheAccountShownAnyway)
{
    state.setEmailConfirmationPending(QStringLiteral("ada@example.com"));
    exchangeFails();
    identity.failNext(QStringLiteral("installSession"), QStringLiteral("Invalid JWT"));

    open(QStringLiteral("wordloom://auth/confirm#access_token=a&refresh_token=b"));

    EXPECT_TRUE(log.contains(u"[AppDelegate] Failed to set session: Invalid JWT"));
    EXPECT_TRUE(state.isEmailConfirmationPending());
    EXPECT_EQ(presenter.presented, 1);
}

TEST_F(DeepLinkHandlerTest, LinkTokensAreVerifiedAndOnlyExactRecoveryEntersRecoveryMode)
{
    struct Row
    {
        const char *url;
        const char *verified;
        bool recoveryMode;
    };
    const QList<Row> rows = {
        {"wordloom://auth/confirm?token=plain&token_hash=hashed&type=signup", "verifyLinkToken hashed signup", false},
        {"wordloom://auth/recovery?token=plain&type=recovery", "verifyLinkToken plain recovery", true},
        {"wordloom://auth/recovery?token_hash=h&type=Recovery", "verifyLinkToken h recovery", false},
    };
    for (const Row &row : rows) {
        state.exitPasswordRecovery();
        scheduler.runPending();
        exchangeFails();
        open(QString::fromLatin1(row.url));
        EXPECT_EQ(identity.calls().last(), QString::fromLatin1(row.verified)) << row.url;
        EXPECT_EQ(state.isPasswordRecoveryMode(), row.recoveryMode) << row.url;
    }
    EXPECT_EQ(presenter.presented, 3);
    EXPECT_TRUE(log.contains(u"[AppDelegate] Verifying OTP: type=Recovery"));
}

TEST_F(DeepLinkHandlerTest, LinkWithoutParametersStillClearsTheConfirmationAndShowsTheAccount)
{
    state.setEmailConfirmationPending(QStringLiteral("ada@example.com"));
    exchangeFails();

    open(QStringLiteral("wordloom://auth/confirm"));

    EXPECT_FALSE(state.isEmailConfirmationPending());
    EXPECT_EQ(presenter.presented, 1);
    EXPECT_TRUE(log.contains(u"[AppDelegate] No tokens in URL - confirmation may have completed server-side"));
    EXPECT_TRUE(log.contains(u"[AppDelegate] Fallback: parsing URL manually, path=/confirm"));
}

} // namespace
