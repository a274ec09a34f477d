#pragma once

#include "backend/wire/jsonreader.h"

// Answer of GET /api/v1/usage/credits.
struct CreditsResponse
{
    qint64 totalCredits = 0;
    qint64 usedCredits = 0;
    qint64 remainingCredits = 0; // the balance shown to the user
    qint64 subscriptionCredits = 0;
    std::optional<QString> resetAt;

    static CreditsResponse decode(const JsonReader &json);
};

// Answer of POST /api/v1/audio/transcribe.
struct TranscriptionResponse
{
    QString text;
    double durationSeconds = 0.0;
    std::optional<QString> language;
    qint64 creditsRemaining = 0;

    static TranscriptionResponse decode(const JsonReader &json);
};
