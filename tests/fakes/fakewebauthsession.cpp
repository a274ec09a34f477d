#include "fakes/fakewebauthsession.h"

bool FakeWebAuthSession::start(QUrl url, QString)
{
    if (!m_canStart) {
        return false;
    }
    m_opened.append(std::move(url));
    return true;
}

QCoro::Task<WebAuthOutcome> FakeWebAuthSession::completion()
{
    co_return m_outcome;
}

void FakeWebAuthSession::cancel()
{
    m_outcome = WebAuthOutcome{.errorCode = WebAuthOutcome::cancelledByUser};
}
