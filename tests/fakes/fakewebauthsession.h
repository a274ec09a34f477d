#pragma once

#include "platform/webauthsession.h"

#include <QList>

// A web sign-in whose outcome a test decides in advance.
class FakeWebAuthSession : public WebAuthSession
{
public:
    void refuseToStart() { m_canStart = false; }
    void finishWith(WebAuthOutcome outcome) { m_outcome = std::move(outcome); }
    const QList<QUrl> &openedUrls() const { return m_opened; }

    bool start(QUrl url, QString callbackScheme) override;
    QCoro::Task<WebAuthOutcome> completion() override;
    void cancel() override;

private:
    bool m_canStart = true;
    WebAuthOutcome m_outcome;
    QList<QUrl> m_opened;
};
