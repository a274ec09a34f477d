#include "fakes/fakehttptransport.h"

void FakeHttpTransport::reply(int status, QByteArray body)
{
    m_script.push_back({HttpResponse{status, {}, std::move(body)}, std::exchange(m_pendingAction, {})});
}

void FakeHttpTransport::fail(TransportError::Kind kind)
{
    m_script.push_back({TransportError(kind, QStringLiteral("scripted failure")), std::exchange(m_pendingAction, {})});
}

void FakeHttpTransport::onNextSend(std::function<void()> action)
{
    m_pendingAction = std::move(action);
}

QCoro::Task<HttpResponse> FakeHttpTransport::send(HttpRequest request)
{
    m_requests.append(std::move(request));
    if (m_script.empty()) {
        throw TransportError(TransportError::Kind::Other, QStringLiteral("no scripted answer left"));
    }
    Scripted next = std::move(m_script.front());
    m_script.pop_front();
    if (next.action) {
        next.action();
    }
    if (const auto *failure = std::get_if<TransportError>(&next.answer)) {
        throw *failure;
    }
    co_return std::get<HttpResponse>(next.answer);
}

QByteArray FakeHttpTransport::pathOf(qsizetype index) const
{
    return m_requests.at(index).url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
}
