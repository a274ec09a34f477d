#pragma once

#include "auth/supabasemanager.h"
#include "backend/apiclient.h"
#include "backend/apierror.h"
#include "backend/appstate.h"
#include "backend/promptservice.h"
#include "fakes/fakehttptransport.h"
#include "fakes/fakeidentityclient.h"
#include "fakes/fakewebauthsession.h"
#include "runtime/logger.h"
#include "runtime/manualscheduler.h"
#include "support/taskoutcome.h"

#include <gtest/gtest.h>

// The session side of the program wired to fakes: scripted identity client, scripted backend, manual clock.
class SessionFixture : public ::testing::Test
{
protected:
    static inline const AuthSession session{QStringLiteral("access-1"), QStringLiteral("refresh-1")};

    void answerProfile(qint64 credits = 55)
    {
        transport.reply(200, R"({"id":"u1","email":"ada@example.com","full_name":"Ada"})");
        transport.reply(200, QStringLiteral(R"({"total_credits":100,"used_credits":0,"remaining_credits":%1,)"
                                            R"("subscription_credits":0})")
                                 .arg(credits)
                                 .toUtf8());
    }

    CapturedLog log;
    ManualScheduler scheduler;
    AppState state{scheduler};
    FakeHttpTransport transport;
    FakeIdentityClient identity;
    APIClient api{QStringLiteral("http://127.0.0.1:8765"), transport, identity};
    PromptService prompts{api, state};
    FakeWebAuthSession webAuth;
    SupabaseManager manager{identity, api, state, prompts, webAuth};
};
