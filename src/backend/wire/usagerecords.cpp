#include "backend/wire/usagerecords.h"

CreditsResponse CreditsResponse::decode(const JsonReader &json)
{
    return {
        .totalCredits = json.integer(QStringLiteral("totalCredits")),
        .usedCredits = json.integer(QStringLiteral("usedCredits")),
        .remainingCredits = json.integer(QStringLiteral("remainingCredits")),
        .subscriptionCredits = json.integer(QStringLiteral("subscriptionCredits")),
        .resetAt = json.optionalString(QStringLiteral("resetAt")),
    };
}

TranscriptionResponse TranscriptionResponse::decode(const JsonReader &json)
{
    return {
        .text = json.string(QStringLiteral("text")),
        .durationSeconds = json.number(QStringLiteral("durationSeconds")),
        .language = json.optionalString(QStringLiteral("language")),
        .creditsRemaining = json.integer(QStringLiteral("creditsRemaining")),
    };
}
