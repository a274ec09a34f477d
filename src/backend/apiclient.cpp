#include "backend/apiclient.h"

#include "backend/apierror.h"
#include "backend/audioform.h"
#include "backend/wire/errorresponse.h"
#include "platform/httptransport.h"
#include "platform/identityclient.h"
#include "runtime/fileerror.h"
#include "runtime/logger.h"
#include "runtime/tasks.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace {

constexpr double jsonRequestTimeoutSeconds = 60.0;
constexpr double uploadTimeoutSeconds = 120.0;

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

QString detailOr(const QByteArray &body, const QString &fallback)
{
    const auto error = ErrorResponse::decode(body);
    return error ? error->detail : fallback;
}

QByteArray readWholeFile(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw FileError(QFileInfo(filePath).fileName(), file.errorString());
    }
    return file.readAll();
}

} // namespace

APIClient::APIClient(QString baseURL, HttpTransport &transport, IdentityClient &identity)
    : m_baseURL(std::move(baseURL))
    , m_transport(transport)
    , m_identity(identity)
{}

QCoro::Task<> APIClient::requestVoid(QString path, HTTPMethod method, std::optional<QJsonObject> body,
                                     bool requiresAuth, bool allowRetry)
{
    Operation operation{OperationKind::Void, std::move(path), method, std::move(body), {}};
    QCoro::Task<QByteArray> sending = perform(std::move(operation), requiresAuth, allowRetry);
    co_await std::move(sending);
}

QCoro::Task<TranscriptionResponse> APIClient::uploadAudio(QString path, QString filePath, bool requiresAuth,
                                                          bool allowRetry)
{
    Operation operation{OperationKind::Upload, std::move(path), HTTPMethod::Post, std::nullopt, std::move(filePath)};
    QCoro::Task<QByteArray> sending = perform(std::move(operation), requiresAuth, allowRetry);
    const QByteArray answer = co_await std::move(sending);
    co_return TranscriptionResponse::decode(JsonReader(parseConvertedObject(answer)));
}

QCoro::Task<QByteArray> APIClient::perform(Operation operation, bool requiresAuth, bool allowRetry)
{
    HttpRequest request = buildRequest(operation, requiresAuth);
    QCoro::Task<HttpResponse> sending = m_transport.send(std::move(request));
    const HttpResponse response = co_await std::move(sending);
    if (!response.isHttp()) {
        throw APIError::invalidResponse();
    }
    if (response.status == 401) {
        if (requiresAuth && allowRetry) {
            QCoro::Task<QByteArray> repeating = renewSessionAndRepeat(std::move(operation));
            co_return co_await std::move(repeating);
        }
        throw APIError::unauthorized();
    }
    co_return successBodyOrThrow(operation.kind, response);
}

// One renewal, one repeat. A session that cannot be renewed, or whose renewed token is refused again, is
// abandoned; any other failure of the repeat (no credits, a server error, a dropped connection) is the answer to
// the caller's request and passes through without touching the session.
QCoro::Task<QByteArray> APIClient::renewSessionAndRepeat(Operation operation)
{
    std::optional<QString> failure;
    try {
        QCoro::Task<AuthSession> renewing = m_identity.renewSession();
        co_await std::move(renewing);
    } catch (const std::exception &error) {
        failure = describe(error);
    }
    if (failure) {
        abandonSession(*failure);
    }
    try {
        QCoro::Task<QByteArray> repeating = perform(std::move(operation), true, false);
        co_return co_await std::move(repeating);
    } catch (const APIError &error) {
        if (error.kind() != APIError::Kind::Unauthorized) {
            throw;
        }
        failure = error.description();
    }
    abandonSession(*failure);
}

void APIClient::abandonSession(const QString &reason)
{
    Log::line(u"APIClient", QStringLiteral("Token refresh failed: ") + reason);
    startDetachedIgnoringFailure(m_identity.signOutGlobally());
    throw APIError::unauthorized();
}

HttpRequest APIClient::buildRequest(const Operation &operation, bool requiresAuth) const
{
    HttpRequest request;
    request.url = QUrl(m_baseURL + operation.path, QUrl::StrictMode);
    if (!request.url.isValid() || request.url.scheme().isEmpty() || request.url.host().isEmpty()) {
        throw APIError::invalidResponse();
    }
    request.method = rawValue(operation.method);
    request.timeoutSeconds = jsonRequestTimeoutSeconds;
    if (operation.kind != OperationKind::Upload) {
        request.setHeader("Content-Type", "application/json");
    }
    if (requiresAuth) {
        if (m_accessToken.isEmpty()) {
            throw APIError::unauthorized();
        }
        request.setHeader("Authorization", "Bearer " + m_accessToken.toUtf8());
    }
    if (operation.kind == OperationKind::Upload) {
        const AudioForm form =
            AudioForm::build(QFileInfo(operation.filePath).fileName(), readWholeFile(operation.filePath));
        request.setHeader("Content-Type", form.contentType());
        request.body = form.body;
        request.timeoutSeconds = uploadTimeoutSeconds;
    } else if (operation.body) {
        request.body = QJsonDocument(*operation.body).toJson(QJsonDocument::Compact);
    }
    return request;
}

QByteArray APIClient::successBodyOrThrow(OperationKind kind, const HttpResponse &response)
{
    const int status = response.status;
    if (isSuccess(status)) {
        return response.body;
    }
    const QString code = QString::number(status);
    switch (kind) {
    case OperationKind::Json:
        if (status == 402) {
            throw APIError::insufficientCredits();
        }
        if (status == 404) {
            throw APIError::notFound();
        }
        throw APIError::serverError(detailOr(response.body, QStringLiteral("Unknown error: ") + code));
    case OperationKind::Void:
        throw APIError::serverError(QStringLiteral("Error: ") + code);
    case OperationKind::Upload:
        if (status == 400) {
            throw APIError::serverError(detailOr(response.body, QStringLiteral("Invalid audio file")));
        }
        if (status == 402) {
            throw APIError::insufficientCredits();
        }
        throw APIError::serverError(detailOr(response.body, QStringLiteral("Transcription failed: ") + code));
    }
    throw APIError::invalidResponse();
}
