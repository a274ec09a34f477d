#pragma once

#include "backend/httpmethod.h"
#include "backend/wire/jsonreader.h"
#include "backend/wire/usagerecords.h"

#include <QCoroTask>

class HttpTransport;
class IdentityClient;
struct HttpRequest;
struct HttpResponse;

// The one client of the prompt backend. Builds authenticated requests, maps statuses to APIError, decodes answers,
// and on a 401 renews the identity session once and repeats the request.
class APIClient
{
public:
    APIClient(QString baseURL, HttpTransport &transport, IdentityClient &identity);
    APIClient(const APIClient &) = delete;
    APIClient &operator=(const APIClient &) = delete;

    // The identity session's access token, written by the session manager; empty when signed out.
    const QString &accessToken() const { return m_accessToken; }
    void setAccessToken(QString token) { m_accessToken = std::move(token); }

    // A JSON request whose 2xx answer decodes as `Response`.
    template <typename Response>
    QCoro::Task<Response> request(QString path, HTTPMethod method, std::optional<QJsonObject> body = std::nullopt,
                                  bool requiresAuth = true, bool allowRetry = true)
    {
        // Arguments of a co_await expression are named first: g++ 12 destroys temporaries there twice.
        Operation operation{OperationKind::Json, std::move(path), method, std::move(body), {}};
        QCoro::Task<QByteArray> sending = perform(std::move(operation), requiresAuth, allowRetry);
        const QByteArray answer = co_await std::move(sending);
        co_return Response::decode(JsonReader(parseConvertedObject(answer)));
    }

    // A JSON request whose answer body is of no interest.
    QCoro::Task<> requestVoid(QString path, HTTPMethod method, std::optional<QJsonObject> body = std::nullopt,
                              bool requiresAuth = true, bool allowRetry = true);

    // Uploads the audio file at `filePath` as a multipart form for transcription.
    QCoro::Task<TranscriptionResponse> uploadAudio(QString path, QString filePath, bool requiresAuth = true,
                                                   bool allowRetry = true);

private:
    enum class OperationKind
    {
        Json,
        Void,
        Upload,
    };
    struct Operation
    {
        OperationKind kind;
        QString path;
        HTTPMethod method;
        std::optional<QJsonObject> body;
        QString filePath;
    };

    // Sends `operation` and returns the body of its 2xx answer; throws for every other outcome.
    QCoro::Task<QByteArray> perform(Operation operation, bool requiresAuth, bool allowRetry);
    QCoro::Task<QByteArray> renewSessionAndRepeat(Operation operation);
    [[noreturn]] void abandonSession(const QString &reason);
    HttpRequest buildRequest(const Operation &operation, bool requiresAuth) const;
    static QByteArray successBodyOrThrow(OperationKind kind, const HttpResponse &response);

    QString m_baseURL;
    HttpTransport &m_transport;
    IdentityClient &m_identity;
    QString m_accessToken;
};
