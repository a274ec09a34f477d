#include "platform/qtnetwork/qnetworkhttptransport.h"

#include "platform/transporterror.h"

#include <QCoroNetworkReply>
#include <QNetworkReply>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <memory>

namespace {

std::chrono::milliseconds toMilliseconds(double seconds)
{
    return std::chrono::milliseconds(std::llround(seconds * 1000.0));
}

TransportError::Kind kindOf(QNetworkReply::NetworkError error, bool deadlinePassed)
{
    if (deadlinePassed) {
        return TransportError::Kind::TimedOut;
    }
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
        return TransportError::Kind::CannotConnect;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return TransportError::Kind::TimedOut;
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return TransportError::Kind::Secure;
    case QNetworkReply::OperationCanceledError:
        // Qt reports its own transfer (idle) timeout as a cancellation.
        return TransportError::Kind::TimedOut;
    default:
        return TransportError::Kind::Other;
    }
}

} // namespace

QNetworkHttpTransport::QNetworkHttpTransport(HttpTransportLimits limits)
    : m_limits(limits)
{}

QNetworkHttpTransport::~QNetworkHttpTransport() = default;

QCoro::Task<HttpResponse> QNetworkHttpTransport::send(HttpRequest request)
{
    QNetworkRequest networkRequest(request.url);
    for (const auto &[name, value] : request.headers) {
        networkRequest.setRawHeader(name, value);
    }
    networkRequest.setTransferTimeout(static_cast<int>(toMilliseconds(m_limits.idleTimeoutSeconds).count()));

    std::unique_ptr<QNetworkReply> reply(m_manager.sendCustomRequest(networkRequest, request.method, request.body));

    const double deadlineSeconds = request.timeoutSeconds > 0 ? request.timeoutSeconds : m_limits.resourceLimitSeconds;
    bool deadlinePassed = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), [&deadlinePassed, raw = reply.get()] {
        deadlinePassed = true;
        raw->abort();
    });
    deadline.start(toMilliseconds(deadlineSeconds));

    co_await reply.get();
    deadline.stop();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && !deadlinePassed) {
        HttpResponse response;
        response.status = status.toInt();
        response.headers = reply->rawHeaderPairs();
        response.body = reply->readAll();
        co_return response;
    }
    if (reply->error() == QNetworkReply::NoError) {
        // Finished without an HTTP status line: not an HTTP answer.
        co_return HttpResponse{};
    }
    throw TransportError(kindOf(reply->error(), deadlinePassed), reply->errorString());
}
