#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QPair>
#include <QUrl>

struct HttpRequest
{
    QUrl url;
    QByteArray method; // "GET", "POST", "PUT", "PATCH" or "DELETE"
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Deadline for the whole exchange, in seconds.
    double timeoutSeconds = 60.0;

    QByteArray header(const QByteArray &name) const;
    void setHeader(const QByteArray &name, const QByteArray &value) { headers.append({name, value}); }
};

struct HttpResponse
{
    // The HTTP status; 0 when the peer's answer was not an HTTP response.
    int status = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    bool isHttp() const { return status > 0; }
};

// Sends one HTTP request and delivers the answer, whatever its status.
class HttpTransport
{
public:
    HttpTransport() = default;
    virtual ~HttpTransport();
    HttpTransport(const HttpTransport &) = delete;
    HttpTransport &operator=(const HttpTransport &) = delete;

    // Fails with TransportError when no answer arrives: no connection, a timeout, a TLS failure, cancellation.
    virtual QCoro::Task<HttpResponse> send(HttpRequest request) = 0;
};
