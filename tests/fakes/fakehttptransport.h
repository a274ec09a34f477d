#pragma once

#include "platform/httptransport.h"
#include "platform/transporterror.h"

#include <QList>

#include <deque>
#include <functional>
#include <variant>

// Answers requests from a script, in order, and keeps every request it was sent.
class FakeHttpTransport : public HttpTransport
{
public:
    void reply(int status, QByteArray body = {});
    void fail(TransportError::Kind kind);
    // Runs `action` when the next scripted answer is taken, before it is delivered.
    void onNextSend(std::function<void()> action);

    QCoro::Task<HttpResponse> send(HttpRequest request) override;

    const QList<HttpRequest> &requests() const { return m_requests; }
    // "/path?query" of the n-th request, exactly as it goes on the wire.
    QByteArray pathOf(qsizetype index) const;

private:
    struct Scripted
    {
        std::variant<HttpResponse, TransportError> answer;
        std::function<void()> action;
    };
    std::deque<Scripted> m_script;
    std::function<void()> m_pendingAction;
    QList<HttpRequest> m_requests;
};
