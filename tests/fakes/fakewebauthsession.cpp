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
    // A copy: QCoro moves from an lvalue given to co_return.
    co_return WebAuthOutcome(m_outcome);
}

void FakeWebAuthSession::cancel()
{
    m_outcome = WebAuthOutcome{.errorCode = WebAuthOutcome::cancelledByUser};
}
