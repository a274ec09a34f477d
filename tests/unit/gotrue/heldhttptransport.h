#pragma once

#include "platform/httptransport.h"
#include "runtime/asyncqueue.h"

#include <QList>

#include <memory>
#include <vector>

// A transport whose requests stay open until the test answers them, so several can be in flight at once.
class HeldHttpTransport : public HttpTransport
{
public:
    QCoro::Task<HttpResponse> send(HttpRequest request) override
    {
        m_requests.append(std::move(request));
        auto answer = std::make_shared<AsyncQueue<HttpResponse>>();
        m_open.push_back(answer);
        auto next = answer->next();
        std::optional<HttpResponse> response = co_await next;
        co_return response.value_or(HttpResponse{});
    }

    // Answers the `index`-th request (counting from the first ever sent).
    void answer(qsizetype index, int status, QByteArray body)
    {
        m_open.at(static_cast<std::size_t>(index))->push(HttpResponse{status, {}, std::move(body)});
    }

    const QList<HttpRequest> &requests() const { return m_requests; }

private:
    QList<HttpRequest> m_requests;
    std::vector<std::shared_ptr<AsyncQueue<HttpResponse>>> m_open;
};
