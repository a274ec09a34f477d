#pragma once

#include "auth/gotrue/gotrueclient.h"
#include "fakes/fakehttptransport.h"
#include "fakes/memorysessionstorage.h"
#include "runtime/manualscheduler.h"
#include "support/autheventname.h"
#include "support/taskoutcome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

// A client of a hosted project over the scripted transport, in-memory storage and the manual clock.
// Everything waiting in `stream`, as "Event:access token" ("Event:-" without a session).
inline QStringList taken(AuthEventStream &stream)
{
    QStringList seen;
    for (const AuthStateChange &change : pendingChanges(stream)) {
        seen.append(eventName(change.event) + QLatin1Char(':') +
                    (change.session ? change.session->accessToken : QStringLiteral("-")));
    }
    return seen;
}

class GoTrueClientTest : public ::testing::Test
{
public:
    static inline const QString sessionKey = QStringLiteral("sb-abcdefghijklmnopqrst-auth-token");
    static inline const QString verifierKey = QStringLiteral("sb-abcdefghijklmnopqrst-auth-token-code-verifier");

protected:
    FakeHttpTransport transport;
    MemorySessionStorage storage;
    ManualScheduler scheduler;
    std::unique_ptr<GoTrueClient> client = makeClient();

    std::unique_ptr<GoTrueClient> makeClient()
    {
        return std::make_unique<GoTrueClient>(QUrl(QStringLiteral("https://abcdefghijklmnopqrst.supabase.co")),
                                              QStringLiteral("anon-key"), transport, storage, scheduler);
    }

    qint64 nowSeconds() const { return scheduler.now().toSecsSinceEpoch(); }

    // A token response whose access token has `lifetime` seconds left on the manual clock.
    QJsonObject tokenResponse(const QString &access, const QString &refresh, qint64 lifetime = 3600) const
    {
        return QJsonObject{
            {QStringLiteral("access_token"), access},
            {QStringLiteral("token_type"), QStringLiteral("bearer")},
            {QStringLiteral("expires_in"), lifetime},
            {QStringLiteral("expires_at"), nowSeconds() + lifetime},
            {QStringLiteral("refresh_token"), refresh},
            {QStringLiteral("user"), QJsonObject{{QStringLiteral("id"), QStringLiteral("user-1")},
                                                 {QStringLiteral("email"), QStringLiteral("a@b.test")}}}};
    }
    QByteArray tokenBody(const QString &access, const QString &refresh, qint64 lifetime = 3600) const
    {
        return QJsonDocument(tokenResponse(access, refresh, lifetime)).toJson(QJsonDocument::Compact);
    }

    void storeSession(const QString &access, const QString &refresh, qint64 lifetime)
    {
        storage.items.insert(sessionKey, tokenBody(access, refresh, lifetime));
    }
    QJsonObject storedSession() const { return QJsonDocument::fromJson(storage.items.value(sessionKey)).object(); }

    // Starts the client with a stored session (or none) and takes the first event off `events`.
    std::shared_ptr<AuthEventStream> startSignedIn(const QString &access = QStringLiteral("access-1"),
                                                   const QString &refresh = QStringLiteral("refresh-1"),
                                                   qint64 lifetime = 3600)
    {
        storeSession(access, refresh, lifetime);
        auto events = client->authEvents();
        runTask(client->start());
        taken(*events);
        return events;
    }

    QJsonObject bodyOf(qsizetype index) const
    {
        return QJsonDocument::fromJson(transport.requests().at(index).body).object();
    }
};

// gtest prints QStrings and QStringLists readably.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}
