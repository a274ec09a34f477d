#pragma once

#include "platform/httptransport.h"

#include <QNetworkAccessManager>

// Limits that apply to every request of one transport.
struct HttpTransportLimits
{
    // A request fails when no byte moves for this long.
    double idleTimeoutSeconds = 30.0;
    // The deadline of a request that does not set one of its own.
    double resourceLimitSeconds = 60.0;
};

// HTTP over QNetworkAccessManager on the main thread. TLS certificates are verified (Qt's default, never relaxed).
class QNetworkHttpTransport : public HttpTransport
{
public:
    explicit QNetworkHttpTransport(HttpTransportLimits limits = {});
    ~QNetworkHttpTransport() override;

    QCoro::Task<HttpResponse> send(HttpRequest request) override;

private:
    HttpTransportLimits m_limits;
    QNetworkAccessManager m_manager;
};
