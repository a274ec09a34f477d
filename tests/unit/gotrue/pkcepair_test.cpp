#include "auth/gotrue/pkcepair.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

TEST(PkcePair, ChallengeIsUnpaddedBase64UrlOfTheSha256OfTheVerifier)
{
    // The example of RFC 7636, appendix B.
    EXPECT_EQ(PkcePair::challengeFor(QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
              QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
}

TEST(PkcePair, GeneratedVerifiersAreLongUnreservedAndFresh)
{
    const PkcePair first = PkcePair::generate();
    const PkcePair second = PkcePair::generate();

    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{128}$")).match(first.verifier).hasMatch())
        << first.verifier.toStdString();
    EXPECT_EQ(first.challenge, PkcePair::challengeFor(first.verifier));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{43}$")).match(first.challenge).hasMatch());
    EXPECT_NE(first.verifier, second.verifier);
}

} // namespace
